#include "SiloLabel.h"

#include <QPainter>
#include <QRegularExpression>

namespace
{

// The places where a caption may go on to a new line: before its parts, and
// after the " · " that ends a reading.
QStringList parts(const QString& text)
{
    static const QRegularExpression breaks(
        QStringLiteral("(?= \\(Capacidad Total )|(?= Espacio disponible: )|(?<= · )"));
    QStringList out;
    qsizetype from = 0;
    for (auto it = breaks.globalMatch(text); it.hasNext();) {
        const qsizetype at = it.next().capturedStart();
        if (at > from) out << text.mid(from, at - from);
        from = at;
    }
    out << text.mid(from);
    return out;
}

} // namespace

SiloLabel::SiloLabel(QWidget* parent) : QLabel(parent) {}

QStringList SiloLabel::lines(const QString& text, const QFontMetrics& fm, int width)
{
    QStringList out;
    if (text.isEmpty()) return out;
    QString line;
    auto fits = [&](const QString& s) { return fm.horizontalAdvance(s) <= width; };
    auto put = [&](const QString& piece) {
        if (line.isEmpty() || fits(line + piece)) {
            line += piece;
            return;
        }
        while (line.endsWith(u' '))
            line.chop(1);
        out << line;
        line = piece;
        while (line.startsWith(u' '))
            line.remove(0, 1);
    };
    for (const QString& part : parts(text)) {
        if (fits(part.trimmed()) || part.trimmed().isEmpty()) {
            put(part);
            continue;
        }
        // A part wider than the label: its words one by one.
        const QStringList words = part.split(u' ');
        for (int i = 0; i < words.size(); ++i) {
            const QString piece =
                (i > 0 || part.startsWith(u' ') ? QStringLiteral(" ") : QString()) + words.at(i);
            if (words.at(i).isEmpty()) continue;
            put(piece);
        }
    }
    while (line.endsWith(u' '))
        line.chop(1);
    if (!line.isEmpty()) out << line;
    // A word wider than the label alone is shown cut, with its mark.
    for (QString& l : out)
        if (!fits(l)) l = fm.elidedText(l, Qt::ElideRight, width);
    return out;
}

int SiloLabel::heightFor(int width) const
{
    const int n = int(lines(text(), fontMetrics(), width).size());
    return std::max(1, n) * fontMetrics().lineSpacing();
}

bool SiloLabel::cut() const
{
    for (const QString& l : lines(text(), fontMetrics(), width()))
        if (l.endsWith(QChar(0x2026)) && !text().contains(l)) return true;
    return false;
}

void SiloLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(palette().color(foregroundRole()));
    p.setFont(font());
    const QFontMetrics& fm = fontMetrics();
    const Qt::Alignment h = alignment() & Qt::AlignHorizontal_Mask;
    int y = 0;
    for (const QString& l : lines(text(), fm, width())) {
        p.drawText(QRect(0, y, width(), fm.lineSpacing()), int(h | Qt::AlignTop), l);
        y += fm.lineSpacing();
    }
}
