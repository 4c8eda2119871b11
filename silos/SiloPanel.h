#pragma once

#include "SiloQuality.h"

#include <QColor>
#include <QFrame>
#include <QRectF>
#include <QVector>
#include <memory>

class DataService;
class QLabel;
class QRadioButton;
class QScrollBar;
class SiloFigures;
struct SiloFigure;

// The silo status panel of the "Depósitos" tab: one bar per deposit with its
// capacity, the tonnes received and the free space.
//
// Silo k uses element k of three control arrays: PicDeposito (the capacity
// bar, light grey), PicUsado (the used part, blue, red at or over capacity,
// always in front of its capacity bar) and lblDepositos (its text). Element 0
// of each exists from the start; the panel adds the others as it needs them.
// Every element is laid out in twips, as the panel's design is, and mapped to
// pixels (15 twips to a pixel); the twips are kept for whoever asks.
//
// "&Resumido" (optVertical, selected at start) shows one column per silo with
// its number below and its figures in the tooltip; "&Detallado"
// (optHorizontal) one full-width bar per silo with the long label (whole in
// its tooltip when the frame cuts it).
//
// Every silo stays readable and reachable however many there are: columns
// too narrow for their number are wrapped into rows, and bars are never
// lower than a few pixels; what then reaches below the frame is reached with
// the vertical scroll bar (or the wheel). The twips of the elements are
// those of the unscrolled panel.
class SiloPanel : public QFrame
{
    Q_OBJECT
public:
    enum Arreglo { PicDeposito, PicUsado, lblDepositos };

    // Colours as the panel's design gives them, &H00BBGGRR.
    static constexpr quint32 ColorCapacidad = 0x00E0E0E0;
    static constexpr quint32 ColorUsado = 0x00FF0000;
    static constexpr quint32 ColorLleno = 0x000000FF;
    static QColor vbColor(quint32 bgr);

    explicit SiloPanel(DataService& data, QWidget* parent = nullptr);
    ~SiloPanel() override;

    // Builds the panel (conservar false: from empty) or lays the existing
    // elements out again with fresh figures (conservar true), creating the
    // elements of silos added since. A failure to read the deposits stops the
    // build where it is, silently; what was laid out stays.
    void MostrarDepositos(bool conservar);
    // Removes every element above 0 and empties element 0.
    void LimpiarDepositos();

    QRadioButton* optVertical() const { return m_optVertical; }
    QRadioButton* optHorizontal() const { return m_optHorizontal; }
    bool summaryView() const;

    // The control arrays.
    int count(Arreglo array) const;
    QWidget* element(Arreglo array, int k) const;
    QLabel* lblDeposito(int k) const;
    // Position and size of an element in twips (Left, Top, Width, Height).
    QRectF twips(Arreglo array, int k) const;
    // The back colour of a bar.
    QColor backColor(Arreglo array, int k) const;
    // Whether silo k's used bar is marked as beyond its capacity (red with
    // white stripes, inside its capacity bar).
    bool overCapacity(int k) const;

    // Whether the figures come from the kept per-silo totals.
    bool usingKeptTotals() const;

    // The vertical scroll bar, shown when the silos reach below the frame.
    QScrollBar* barraVertical() const { return m_vscroll; }
    // The rows the summary view's columns are wrapped into.
    int filasResumido() const { return m_rows; }

    // The lowest a bar is drawn, in twips, in each view.
    static constexpr double MinDetallado = 180;
    static constexpr double MinResumido = 600;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;

private:
    QVector<QWidget*>& elements(Arreglo array);
    const QVector<QWidget*>& elements(Arreglo array) const;
    bool removeExtraElements();
    void emptyFirstElements();
    void ensureElements(int k);
    void layOut(int k, int n, const SiloFigure& silo, bool summary, double W, double H);
    void layOutAll(const QVector<SiloFigure>& silos, bool summary, double W, double H);
    double contentBottom() const;
    void place(QWidget* w, const QRectF& twips) const;
    void placeAgain();
    void placeScrollBar();
    void coverScrolled();
    static void setBackColor(QWidget* w, const QColor& c);
    static void setBackBrush(QWidget* w, const QBrush& b);
    static QBrush overBrush();

    DataService& m_data;
    std::unique_ptr<SiloFigures> m_figures;
    // The quality of what each silo received, shown beside its figures.
    SiloQuality m_quality{m_data};
    QHash<QString, SiloQualityFigures> m_calidad;
    QRadioButton* m_optVertical;
    QRadioButton* m_optHorizontal;
    QVector<QWidget*> m_picDeposito;
    QVector<QWidget*> m_picUsado;
    QVector<QWidget*> m_lblDepositos;
    bool m_busy = false;
    QScrollBar* m_vscroll = nullptr;
    QWidget* m_franja = nullptr; // covers what scrolls under the option buttons
    int m_rows = 1;
};
