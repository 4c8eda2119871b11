#pragma once

#include "InstrumentConfig.h"

#include <QObject>
#include <QVector>

class InstrumentLink;

// The workstation's instruments, as its CN000pr.INI names them: one link
// each, opened in the background. The scale is the first instrument whose
// format gives a weight, the analyzer the first that gives a reading column.
class InstrumentHub : public QObject
{
    Q_OBJECT
public:
    explicit InstrumentHub(QObject* parent = nullptr);

    // Replaces the instruments by those given and starts their links.
    void configurar(const QVector<InstrumentConfig>& configs);
    const QVector<InstrumentLink*>& enlaces() const { return m_enlaces; }
    InstrumentLink* balanza() const;
    InstrumentLink* analizador() const;

signals:
    // A reading arrived or a link changed its state.
    void cambio();

private:
    QVector<InstrumentLink*> m_enlaces;
};
