#pragma once

#include <QLabel>
#include <QTimer>

class InstrumentHub;
class InstrumentLink;

// The instruments' line in the header band, right of the command buttons:
// each instrument's last reading as it comes (the weight, "estable" once it
// is confirmed, and its age; an analyzer's readings), or its port's state
// when it sends nothing recognised. The tooltip names each port and the last
// line received. Hidden when the workstation names no instrument.
class InstrumentBand : public QLabel
{
    Q_OBJECT
public:
    InstrumentBand(InstrumentHub& hub, QWidget* parent);

    // The text of one instrument as the band shows it.
    static QString texto(const InstrumentLink& l);
    // The tooltip's line for the last line received, recognised or not.
    static QString ultimaLinea(const InstrumentLink& l);

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    void refrescar();
    void colocar();

    InstrumentHub& m_hub;
    QTimer m_reloj; // the ages go on counting between readings
};
