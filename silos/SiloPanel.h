#pragma once

#include <QFrame>

class DataService;
class QRadioButton;

// The silo status panel of the "Depósitos" tab: one bar per deposit with its
// capacity, the tonnes received and the free space.
class SiloPanel : public QFrame
{
    Q_OBJECT
public:
    explicit SiloPanel(DataService& data, QWidget* parent = nullptr);

    // Builds the panel (conservar false: from empty) or lays the existing
    // elements out again with fresh figures (conservar true).
    void MostrarDepositos(bool conservar);
    void LimpiarDepositos();

    QRadioButton* optVertical() const { return m_optVertical; }
    QRadioButton* optHorizontal() const { return m_optHorizontal; }

private:
    DataService& m_data;
    QRadioButton* m_optVertical;
    QRadioButton* m_optHorizontal;
};
