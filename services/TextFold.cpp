#include "TextFold.h"

namespace
{

struct Map {
    QString from;
    QString to;
    Map()
    {
        for (char16_t c = 0x00C0; c <= 0x024F; ++c) {
            const QString folded = TextFold::fold(QStringView(&c, 1));
            if (folded.size() == 1 && folded.at(0) != QChar(c)) {
                from += QChar(c);
                to += folded.at(0);
            }
        }
    }
};

const Map& latinMap()
{
    static const Map m;
    return m;
}

} // namespace

QString TextFold::fold(QStringView text)
{
    // Texts without any letter beyond ASCII only need their case.
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) return text.toString().toLower();
    const QString decomposed = text.toString().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out += c;
    // Letters such as "Ø" or "Đ" have no decomposition; their case still goes.
    return out.toLower();
}

QString TextFold::nameKey(QStringView text)
{
    QString k = fold(text);
    k.removeIf([](QChar c) { return c.isSpace() || c == u','; });
    return k;
}

const QString& TextFold::mapFrom()
{
    return latinMap().from;
}

const QString& TextFold::mapTo()
{
    return latinMap().to;
}
