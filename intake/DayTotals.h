#pragma once

#include <QFrame>
#include <QHash>
#include <QMap>
#include <QStringList>
#include <optional>

class QLabel;
class QTimer;
class frmTrigo;

// The day's totals, in a band below the sheet that is always in view: trucks
// (rows with tonnes), tonnes received, tonnes by destination silo, the
// average humidity and hectolitre weight of the day weighted by tonnes, and
// the loads with a reading beyond an acceptance limit, in the locale's number
// format. Counted from the sheet itself: every cell it shows holds what the
// database accepted, so the band always agrees with the rows in view. The
// readings of each row are kept as numbers and taken again only for the rows
// a change touched (an accepted edit, a new or deleted row, a sheet loaded or
// read again after another workstation's change); the band is counted once
// the change is complete.
class DayTotals : public QFrame
{
    Q_OBJECT
public:
    struct Figures {
        int camiones = 0;
        double toneladas = 0;
        QMap<QString, double> porSilo; // "" for loads without a silo
        std::optional<double> humedadMedia;
        std::optional<double> pesoHectMedio;
        int fueraDeLimite = 0;
        qint64 kilosNetos = 0; // what the loads are worth, whole kilograms
        int sinNetos = 0;      // loads with tonnes and no net kilograms yet
        int decimales = 2; // of the tonnes: as many as the finest cell shows, at least 2
        // Values the sheet's rules refuse (written by another program), left
        // out of the figures above; a load to a silo that does not exist
        // counts in the day's tonnes but in no silo's.
        int noContados = 0;
    };

    DayTotals(frmTrigo& w, QWidget* parent);

    // Takes every row of the sheet again and counts now (also done by itself
    // after grid changes).
    void refresh();
    const Figures& figures() const { return m_figures; }
    QString text() const;

    // Puts the band below the grid, taking its height from the grid.
    void place();

    // A number as the band writes it: rounded (half away from zero) to that
    // many decimals, not cut.
    static QString number(double value, int decimals);

    // The figures' line and the silos' line, the latter on as many lines as
    // the band's width needs (it grows by them; otherwise its height never
    // depends on what they say).
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;
    // The page's own resizes (its first real size comes with the first show)
    // place the band and the grid again.
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    // The numbers of one row of the sheet that the band counts.
    struct Fila {
        double lectura[6] = {}; // tonnes and readings; 0 where the cell is empty
        int silo = 0;           // the silo's place in m_silos
        int decimales = 0;      // shown in the tonnes cell
        int rechazados = 0;     // values the sheet's rules refuse, left out
        bool siloRechazado = false; // a silo that does not exist
        qint64 kilos = -1;          // net kilograms; -1 where the cell is empty
    };
    void findColumns();
    Fila filaDe(int gridRow, const QString& decimalPoint);
    void takeRows(int first, int last); // data rows (from 0), as the grid shows them now
    void retakeAll();
    void schedule();
    void count();
    void show(const Figures& f);
    void ponerPorSilo();
    int lineHeight() const;

    frmTrigo& w;
    QVector<Fila> m_filas; // one per data row of the grid
    // The silo texts the rows have named, each once (counted by place, not
    // looked up by text, at every count).
    QStringList m_silos;
    QHash<quint64, int> m_siloPorClave; // up to four characters
    QHash<QString, int> m_siloDe;       // longer
    int m_colLectura[6] = {-1, -1, -1, -1, -1, -1};
    int m_colSilo = -1;
    int m_colKilos = -1;
    QLabel* m_linea1 = nullptr;
    QLabel* m_linea2 = nullptr;
    QStringList m_porSilo; // "silo: tonnes", one per silo
    int m_lineasSilo = 1;
    QTimer* m_pending = nullptr;
    bool m_stale = false; // the grid was filled anew: m_filas are taken again at the count
    Figures m_figures;
};
