#pragma once

#include "Lib_ClsCons3.h"
#include "RecordSet.h"

#include <QDialog>
#include <QVariant>
#include <QVariantList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class DataService;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QScrollBar;
class QTreeWidget;
class QTreeWidgetItem;

// The lookup window: the rows of one statement in a list with one column per
// field, one search box above each column, and Aceptar / Cancelar / Nueva
// Busqueda below. The request object fills the public properties, shows the
// window through the dialog seam and reads the results back. The window reads
// through the data service it is given and never opens a connection itself.
//
// Its code is split by concern: construction, layout and columns
// (Lib_FrmCons3.cpp), loading and order (Lib_FrmCons3Carga.cpp), searching
// (Lib_FrmCons3Busqueda.cpp) and the results (Lib_FrmCons3Retorno.cpp).
class Lib_FrmCons3 : public QDialog
{
    Q_OBJECT
public:
    explicit Lib_FrmCons3(DataService* data, QWidget* parent = nullptr);
    ~Lib_FrmCons3() override;

    // Hand-over properties, set by the request object before the window is
    // shown and read back afterwards.
    QString Sql;
    QString CampoDevuelto;
    TextCollection CmpsDevueltos = std::nullopt;
    bool CheckBoxes = false;
    QString gConnString; // stored only
    QVariant ValorDevuelto;
    QString FiltroInicial;
    QString CampoBusqueda; // stored only
    bool OrdenarPorLwv = false;
    TextCollection Valores = std::nullopt;
    TextCollection Cantidades = std::nullopt;
    bool UsaCantidades = false;

    // The header text of the quantity column.
    static QString columnaCantidad() { return QStringLiteral("**Cantidad**"); }

    // State of the searches.
    QString sqlOriginal() const { return m_sqlOriginal; }
    QString sqlActual() const { return m_sqlActual; }
    // The values bound to the placeholders of the search conditions in Sql.
    QVariantList sqlParametros() const { return m_params; }
    int indiceActivo() const { return m_indiceActivo; }
    bool cargado() const { return m_loaded; }

    // Controls.
    QTreeWidget* ListView1() const { return m_list; }
    QComboBox* CmbSearch(int i) const;
    int cantidadCmbSearch() const { return m_search.size(); }
    QPushButton* CmdAceptar() const { return m_cmdAceptar; }
    QPushButton* CmdCancelar() const { return m_cmdCancelar; }
    QPushButton* CmdNueva() const { return m_cmdNueva; }
    QScrollBar* HScroll1() const { return m_hscroll; }
    QWidget* picFields() const { return m_picFields; }
    QFrame* Frame1() const { return m_frame1; }
    // The help line under the list: what typing and F5 do, the search in
    // force after F5 (its terms and the rows found), or that the typed text
    // matches no row.
    QLabel* lblAyuda() const { return m_lblAyuda; }
    // The F5 searches in force, in the order made: the column's header and
    // the text sought. Emptied by "Nueva Búsqueda".
    QVector<std::pair<QString, QString>> busquedas() const { return m_busquedas; }
    // Whether search box index holds a text no row begins with.
    bool sinCoincidencia(int index) const;

    // The load operation: reads Sql into the list (runs at the first show and
    // for every new search). Errors go to the error dialog ("FORM_LOAD").
    void Form_Load();
    // Columns and search boxes from the open result; widths by
    // LookupColumns, kept for the window's life. Then the rows of the result.
    void Encolumnar();
    void Leer();
    // Position (from 1) of the first column whose header, trimmed, equals the
    // name, trimmed, ignoring case; 0 when none.
    int IndiceColumna(const QString& columna) const;
    // Incremental search: position (from 1) of the first row, in list order,
    // whose cell in column clave + 1 (the first column for clave <= 0)
    // begins with the text, ignoring case and accents; 0 when none.
    int Busqueda(int clave, const QString& queValor) const;

    // Search boxes.
    void CmbSearch_GotFocus(int index);
    void CmbSearch_Change(int index);
    // Answers true when the key was taken.
    bool CmbSearch_KeyDown(int index, int keyCode, int shift);
    // New search on box index (F5).
    void NuevaBusquedaEn(int index);

    // The list.
    bool ListView1_KeyDown(int keyCode, int shift);
    void ListView1_DblClick();
    void ListView1_ColumnClick(int column);
    bool ordenada() const { return m_sorted; }
    int columnaOrden() const { return m_sortColumn; }
    Qt::SortOrder ordenDeLista() const { return m_sortOrder; }
    // The check state of a row, also when the check boxes are not shown.
    bool marcada(const QTreeWidgetItem* item) const;
    void marcar(QTreeWidgetItem* item, bool checked);

    // Buttons.
    void CmdAceptar_Click();
    void CmdCancelar_Click();
    void CmdNueva_Click();

    // Layout.
    void Form_Resize();
    void HScroll1_Change(int value);
    // The unload handler: empties the list.
    void Form_Unload();

    // Twips the window's frame adds to its client area.
    static constexpr int NonClientWidth = 120;
    static constexpr int NonClientHeight = 360;

public slots:
    void reject() override;

protected:
    void showEvent(QShowEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    // Runs one step with the error dialog: retry repeats it, ignore goes on,
    // any other answer stops. Answers false when the caller must stop.
    bool guarded(const QString& source, const std::function<void()>& step);
    QComboBox* addSearchBox();
    void alignSearchBoxes();
    int columnWidth(const RecordSet::Field& field, int column);
    void fitWidthToColumns();
    void mostrarAyuda();
    void mostrarCoincidencia(int index, bool found, const QString& sought);
    void selectRow(QTreeWidgetItem* item);
    void sortList();
    QString cellValue(const QTreeWidgetItem* item, int position) const;
    QTreeWidgetItem* selectedRow() const;
    int quantityColumn() const;
    void askQuantity();
    void addQuantity(double delta);
    void hideWith(int result);
    QList<QTreeWidgetItem*> ordered(QList<QTreeWidgetItem*> items, int column,
                                    Qt::SortOrder order) const;
    void setCell(QTreeWidgetItem* item, int column, const QString& text);
    const QVector<QString>& foldedColumn(int column) const;
    int cellMargin(int column) const;

    DataService* m_data;
    std::unique_ptr<RecordSet> m_rs;

    QString m_sqlOriginal;
    QString m_sqlActual;
    QVariantList m_params;
    QString m_paramsFor; // the statement text m_params belong to
    int m_indiceActivo = 0;
    bool m_loaded = false;
    bool m_closingFromTitle = false;
    bool m_sorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_totalTwips = 0;           // the measured width of all columns
    QHash<QString, int> m_widths;   // each column's width in pixels, by name and position
    QHash<QString, int> m_declared; // declared lengths of the statement's sources' columns
    int m_sinCoincidencia = -1;     // the search box whose text matches no row
    QVector<std::pair<QString, QString>> m_busquedas; // the F5 searches in force
    bool m_sinAcotar = false; // the last F5 could not narrow the statement (ORDER BY)
    // The trimmed text of every cell, by column and by row in the order read,
    // and the row shown at each list position: the incremental search reads
    // these instead of the list's items.
    QVector<QVector<QString>> m_cells;
    mutable QVector<QVector<QString>> m_folded; // the same, case-folded, made on first search
    QVector<int> m_order;
    std::optional<std::pair<int, Qt::SortOrder>> m_orderedBy; // how the rows stand now

    QWidget* m_picFields = nullptr;
    QTreeWidget* m_list = nullptr;
    QVector<QComboBox*> m_search;
    QScrollBar* m_hscroll = nullptr;
    QFrame* m_frame1 = nullptr;
    QLabel* m_lblAyuda = nullptr;
    QPushButton* m_cmdAceptar = nullptr;
    QPushButton* m_cmdCancelar = nullptr;
    QPushButton* m_cmdNueva = nullptr;
};
