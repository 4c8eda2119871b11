#include "SiloPanel.h"

#include "DataService.h"
#include "Twips.h"

#include <QRadioButton>

SiloPanel::SiloPanel(DataService& data, QWidget* parent) : QFrame(parent), m_data(data)
{
    setObjectName(QStringLiteral("frmDepositos"));
    m_optVertical = new QRadioButton(QStringLiteral("&Resumido"), this);
    m_optVertical->setObjectName(QStringLiteral("optVertical"));
    m_optVertical->setGeometry(Twips::toPx(210), Twips::toPx(45), Twips::toPx(1070), 20);
    m_optHorizontal = new QRadioButton(QStringLiteral("&Detallado"), this);
    m_optHorizontal->setObjectName(QStringLiteral("optHorizontal"));
    m_optHorizontal->setGeometry(Twips::toPx(1305), Twips::toPx(45), Twips::toPx(1265), 20);
    m_optVertical->setChecked(true);
}

void SiloPanel::MostrarDepositos(bool /*conservar*/)
{
    // TODO(silos): bars are drawn by the silo panel work.
}

void SiloPanel::LimpiarDepositos() {}
