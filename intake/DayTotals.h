#pragma once

#include <QFrame>
#include <QMap>
#include <optional>

class QLabel;
class QTimer;
class frmTrigo;

// The day's totals, in a band below the sheet that is always in view: trucks
// (rows with tonnes), tonnes received, tonnes by destination silo, the
// average humidity and hectolitre weight of the day weighted by tonnes, and
// the loads with a reading beyond an acceptance limit. Read from the
// database when a sheet is loaded and after every change of the grid (an
// accepted edit, a new or deleted row, a row from another workstation), one
// query of the day's rows, in the locale's number format.
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
    };

    DayTotals(frmTrigo& w, QWidget* parent);

    // Reads the figures again now (also done by itself after grid changes).
    void refresh();
    const Figures& figures() const { return m_figures; }
    QString text() const;

    // Puts the band below the grid, taking its height from the grid.
    void place();

    // A number as the band writes it.
    static QString number(double value, int decimals);

private:
    void schedule();
    void show(const Figures& f);

    frmTrigo& w;
    QLabel* m_linea1 = nullptr;
    QLabel* m_linea2 = nullptr;
    QTimer* m_pending = nullptr;
    Figures m_figures;
};
