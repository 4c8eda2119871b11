#include "DeadKeys.h"

#include <Qt>

namespace {

struct Accent {
    int key;
    char16_t combining;
    char16_t spacing;
};

const Accent kAccents[] = {
    {Qt::Key_Dead_Grave, 0x0300, u'`'},       {Qt::Key_Dead_Acute, 0x0301, 0x00B4},
    {Qt::Key_Dead_Circumflex, 0x0302, u'^'},  {Qt::Key_Dead_Tilde, 0x0303, u'~'},
    {Qt::Key_Dead_Macron, 0x0304, 0x00AF},    {Qt::Key_Dead_Breve, 0x0306, 0x02D8},
    {Qt::Key_Dead_Abovedot, 0x0307, 0x02D9},  {Qt::Key_Dead_Diaeresis, 0x0308, 0x00A8},
    {Qt::Key_Dead_Abovering, 0x030A, 0x02DA}, {Qt::Key_Dead_Doubleacute, 0x030B, 0x02DD},
    {Qt::Key_Dead_Caron, 0x030C, 0x02C7},     {Qt::Key_Dead_Cedilla, 0x0327, 0x00B8},
    {Qt::Key_Dead_Ogonek, 0x0328, 0x02DB},
};

const Accent* accentOf(int key)
{
    for (const Accent& a : kAccents)
        if (a.key == key) return &a;
    return nullptr;
}

} // namespace

char16_t DeadKeys::combiningMark(int qtKey)
{
    const Accent* a = accentOf(qtKey);
    return a ? a->combining : 0;
}

QString DeadKeys::compose(int deadKey, const QString& typed)
{
    const Accent* a = accentOf(deadKey);
    if (!a) return typed;
    const QString spacing(QChar(a->spacing));
    if (typed.isEmpty() || typed == QLatin1String(" ")) return spacing;
    // The letter and its accent as one character, where the language has it.
    const QString joined = (typed.left(1) + QChar(a->combining))
                               .normalized(QString::NormalizationForm_C);
    if (joined.size() == 1) return joined + typed.mid(1);
    return spacing + typed;
}
