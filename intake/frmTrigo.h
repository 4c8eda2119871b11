#pragma once

#include <QVector>
#include <QWidget>
#include <memory>

class CellEditor;
class ChangeHistory;
class QualityLimits;
class DailySheet;
class DataService;
class DayTotals;
class FieldLookups;
class FieldValidator;
class FlexGrid;
class InstrumentBand;
class InstrumentCommands;
class InstrumentHub;
class Lib_ClsCons3;
class LiveSheet;
class QFrame;
class QLabel;
class QScrollArea;
class QTabWidget;
class QToolButton;
class ReportPrinter;
class SheetCommands;
class SheetExport;
class SheetMenu;
class SheetRules;
class SheetSettlement;
class ColumnOps;
class SiloPanel;
class TextBox;
class UtilVextra;

// The intake register window: header band with the toolbar, the sheet date
// and the responsible person; tabs with the daily sheet, the silo panel and
// the reception report. It is handed the data service and never opens a
// connection of its own. The concerns live in helper objects (sheet,
// commands, cell editor, validation, lookups, column operations); the window
// keeps the controls, the state and the event routing.
class frmTrigo : public QWidget
{
    Q_OBJECT
public:
    frmTrigo(DataService& data, Lib_ClsCons3& lookup, ReportPrinter* printer,
             QWidget* parent = nullptr);
    ~frmTrigo() override;

    // The load step: start-up, window set-up, preparation, reset and the
    // operator name. False when the program must end (the operator has been
    // told why); exitCode() then says with which status.
    bool Load(const QString& parametros = {});
    int exitCode() const { return m_exitCode; }

    // Window state.
    QString mVista;
    bool mPlanillaCargada = false;
    bool mYaDimensionado = false;
    TextBox* mCampoActivo = nullptr;
    bool mCampoInvalido = false;

    // Controls.
    DataService& data() const { return m_data; }
    Lib_ClsCons3& lookup() const { return m_lookup; }
    ReportPrinter* printer() const { return m_printer; }
    UtilVextra* UtilVextra1() const { return m_toolbar; }
    FlexGrid* MSflexGrid1() const { return m_grid; }
    TextBox* TxtEdit() const { return m_txtEdit; }
    QTabWidget* SSTab1() const { return m_tabs; }
    SiloPanel* frmDepositos() const { return m_silos; }
    QToolButton* CmdCargar() const { return m_cmdCargar; }
    QToolButton* CmdCompletar() const { return m_cmdCompletar; }
    QToolButton* CmdOrdenar() const { return m_cmdOrdenar; }
    QFrame* Frame2() const { return m_frame2; }
    QFrame* frmRep() const { return m_frmRep; }
    const QVector<TextBox*>& txtFields() const { return m_txtFields; }
    // The header box with that field name (case-insensitive), or nullptr.
    TextBox* box(const QString& fieldName) const;

    // Helpers.
    DailySheet& sheet() const { return *m_sheet; }
    SheetCommands& commands() const { return *m_commands; }
    CellEditor& editor() const { return *m_editor; }
    FieldValidator& validator() const { return *m_validator; }
    FieldLookups& lookups() const { return *m_lookups; }
    ColumnOps& columnOps() const { return *m_columnOps; }
    // Additions beside the original sheet: change history, quality limits,
    // day totals, live sheet, export, sheet menu.
    ChangeHistory& history() const { return *m_history; }
    QualityLimits& limits() const { return *m_limits; }
    // What the sheet's rules refuse among the values stored (written by
    // another program), marked in the grid and left out of the totals.
    SheetRules& rules() const { return *m_rules; }
    DayTotals* totals() const { return m_totals; }
    LiveSheet& live() const { return *m_live; }
    SheetExport& exporter() const { return *m_export; }
    SheetMenu& sheetMenu() const { return *m_sheetMenu; }
    // What each load is worth (shrink, net kilograms, grade) and its commands.
    SheetSettlement& settlement() const { return *m_settlement; }
    // The workstation's scale and analyzer, their keys and their header line.
    InstrumentHub& instruments() const { return *m_instruments; }
    InstrumentCommands& instrumentCommands() const { return *m_instrumentCommands; }

    // Named operations.
    void PreparaFormulario();
    void EnabledControls(bool enabled);
    void Reiniciar();
    void ProcesarComando(const QString& key);
    // "Ejecutar": loads the sheet of the typed date.
    void CmdCargar_Click();
    void ImprimirReporte();
    void CmdConsultar(bool lSinKeyDown = false);
    void MostrarDepositos(bool conservar);
    // The resize rule, given the window's size in twips.
    void aplicarTamanio(int widthTwips, int heightTwips);
    // What the window does when the selected tab changes.
    void tabCambiada(int index);
    // The key preview: answers true when the key was taken.
    bool previewKey(int keyCode, int shift);
    // Ends the program (the close command).
    void Cerrar();
    // Puts the window, before it is first shown, inside the screen's
    // available area (and once shown, with its frame, inside it again).
    void placeOnScreen();
    // The least size the contents are laid out at; a smaller window scrolls.
    QSize leastContents() const;

signals:
    // A day's sheet is about to be read from the database.
    void planillaPorLeer();
    // A day's sheet has just been read into the grid.
    void planillaCargada();

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void buildControls();
    void fitContents();
    void buildHeaderBand();
    void buildTabs();
    QPixmap reportPicture(const QSize& size) const;

    DataService& m_data;
    Lib_ClsCons3& m_lookup;
    ReportPrinter* m_printer;
    int m_exitCode = 0;

    QScrollArea* m_area = nullptr;
    QWidget* m_content = nullptr;
    bool m_placed = true; // until placeOnScreen() asks for the check after the first show
    QFrame* m_frame2 = nullptr;
    UtilVextra* m_toolbar = nullptr;
    QToolButton* m_cmdCargar = nullptr;
    QToolButton* m_cmdCompletar = nullptr;
    QToolButton* m_cmdOrdenar = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label3 = nullptr;
    QVector<TextBox*> m_txtFields;
    QTabWidget* m_tabs = nullptr;
    QWidget* m_page0 = nullptr;
    FlexGrid* m_grid = nullptr;
    TextBox* m_txtEdit = nullptr;
    SiloPanel* m_silos = nullptr;
    QFrame* m_frmRep = nullptr;
    QLabel* m_imgRep = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label4 = nullptr;

    std::unique_ptr<DailySheet> m_sheet;
    std::unique_ptr<SheetCommands> m_commands;
    std::unique_ptr<CellEditor> m_editor;
    std::unique_ptr<FieldValidator> m_validator;
    std::unique_ptr<FieldLookups> m_lookups;
    std::unique_ptr<ColumnOps> m_columnOps;
    std::unique_ptr<ChangeHistory> m_history;
    std::unique_ptr<QualityLimits> m_limits;
    std::unique_ptr<SheetRules> m_rules;
    std::unique_ptr<SheetExport> m_export;
    DayTotals* m_totals = nullptr;    // owned by the window
    LiveSheet* m_live = nullptr;      // owned by the window
    SheetMenu* m_sheetMenu = nullptr; // owned by the window
    SheetSettlement* m_settlement = nullptr; // owned by the window
    InstrumentHub* m_instruments = nullptr;     // owned by the window
    InstrumentBand* m_instrumentBand = nullptr; // in the header band
    std::unique_ptr<InstrumentCommands> m_instrumentCommands;
};
