#include "UtilVextra.h"

#include "KeyCodes.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace {
struct ButtonDef {
    const char* key;
    const char* caption;
    int keyCode;
    const char* keyName;
    QStyle::StandardPixmap icon;
};
const ButtonDef kButtons[] = {
    {"NUEVO", "Nuevo", KeyCodes::F2, "F2", QStyle::SP_FileIcon},
    {"BORRAR", "Borrar", KeyCodes::F3, "F3", QStyle::SP_TrashIcon},
    {"GRABAR", "Grabar", 0, "", QStyle::SP_DialogSaveButton},
    {"PLANILLA", "Planilla", 0, "", QStyle::SP_FileDialogDetailedView},
    {"CONSULTAR", "Consultar", KeyCodes::F4, "F4", QStyle::SP_FileDialogContentsView},
    {"REPORTE", "Reporte", KeyCodes::F6, "F6", QStyle::SP_FileDialogInfoView},
    {"CERRAR", "Cerrar", KeyCodes::F10, "F10", QStyle::SP_DialogCloseButton},
    {"CANCELAR", "Cancelar", KeyCodes::F8, "F8", QStyle::SP_DialogCancelButton},
};
} // namespace

UtilVextra::UtilVextra(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("UtilVextra1"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    for (const ButtonDef& d : kButtons) {
        auto* b = new QToolButton(this);
        b->setObjectName(QLatin1String(d.key));
        b->setText(QString::fromLatin1(d.caption));
        b->setIcon(style()->standardIcon(d.icon));
        b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        b->setFocusPolicy(Qt::NoFocus);
        b->setToolTip(d.keyCode ? QStringLiteral("%1 (%2)").arg(QLatin1String(d.caption),
                                                                 QLatin1String(d.keyName))
                                : QString::fromLatin1(d.caption));
        b->setEnabled(false);
        b->setAutoRaise(false);
        const QString key = QLatin1String(d.key);
        connect(b, &QToolButton::clicked, this, [this, key] { emit BotonClick(key); });
        layout->addWidget(b);
        m_buttons.insert(key, b);
    }
    layout->addStretch(1);
}

QStringList UtilVextra::keys()
{
    QStringList k;
    for (const ButtonDef& d : kButtons) k << QLatin1String(d.key);
    return k;
}

bool UtilVextra::isOn(const char* key) const
{
    QToolButton* b = m_buttons.value(QLatin1String(key));
    return b && b->isEnabled();
}

void UtilVextra::setOn(const char* key, bool on)
{
    if (QToolButton* b = m_buttons.value(QLatin1String(key))) b->setEnabled(on);
}

void UtilVextra::setStyleBar(double style)
{
    m_style = style;
    for (QToolButton* b : std::as_const(m_buttons)) b->setAutoRaise(style == 0);
}

bool UtilVextra::ProcesarTecla(int keyCode)
{
    if (keyCode == 0) return false;
    for (const ButtonDef& d : kButtons) {
        if (d.keyCode != keyCode) continue;
        QToolButton* b = m_buttons.value(QLatin1String(d.key));
        if (!b || !b->isEnabled()) return false;
        emit BotonClick(QLatin1String(d.key));
        return true;
    }
    return false;
}
