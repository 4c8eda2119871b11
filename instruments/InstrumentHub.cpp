#include "InstrumentHub.h"

#include "InstrumentLink.h"

InstrumentHub::InstrumentHub(QObject* parent) : QObject(parent) {}

void InstrumentHub::configurar(const QVector<InstrumentConfig>& configs)
{
    qDeleteAll(m_enlaces);
    m_enlaces.clear();
    for (const InstrumentConfig& c : configs) {
        auto* l = new InstrumentLink(c, this);
        connect(l, &InstrumentLink::cambio, this, &InstrumentHub::cambio);
        m_enlaces << l;
    }
    for (InstrumentLink* l : m_enlaces)
        l->iniciar();
    emit cambio();
}

InstrumentLink* InstrumentHub::balanza() const
{
    for (InstrumentLink* l : m_enlaces)
        if (l->esBalanza()) return l;
    return nullptr;
}

InstrumentLink* InstrumentHub::analizador() const
{
    for (InstrumentLink* l : m_enlaces)
        if (l->esAnalizador()) return l;
    return nullptr;
}
