#include "ReportRenderer.h"

#include "DateText.h"
#include "FormulaAssignments.h"
#include "ReportData.h"
#include "ReportDefinition.h"

#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>
#include <QTextOption>
#include <QVector>
#include <algorithm>
#include <cmath>

namespace
{

enum class LineKind { Row, GroupTotal, GrandTotal, Empty };

struct Line {
    LineKind kind;
    int index; // row or group
};

Qt::Alignment toQt(ReportDefinition::Align a)
{
    switch (a) {
    case ReportDefinition::Align::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    case ReportDefinition::Align::Center:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case ReportDefinition::Align::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

QString fill(QString text, const QString& key, const QString& value)
{
    return text.replace(QLatin1Char('{') + key + QLatin1Char('}'), value);
}

} // namespace

ReportRenderer::ReportRenderer(const ReportDefinition& def, const ReportData& data,
                               const FormulaAssignments& formulas, const QString& selection,
                               const QDateTime& printedAt)
    : m_def(def), m_data(data), m_formulas(formulas), m_selection(selection), m_printedAt(printedAt)
{
}

void ReportRenderer::preparePage(QPagedPaintDevice& device, const ReportDefinition& def)
{
    const QPageLayout layout(
        QPageSize(QPageSize::A4), def.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(def.marginMm, def.marginMm, def.marginMm, def.marginMm), QPageLayout::Millimeter);
    device.setPageLayout(layout);
}

QString ReportRenderer::title() const
{
    return m_formulas.expand(m_def.title).trimmed();
}

QString ReportRenderer::subtitle() const
{
    return m_formulas.expand(m_def.subtitle).trimmed();
}

QString ReportRenderer::selectionLine() const
{
    if (m_selection.trimmed().isEmpty()) return m_def.selectionAll;
    return QStringLiteral("Selección: ") + m_selection;
}

int ReportRenderer::render(QPagedPaintDevice& device) const
{
    QPainter p;
    if (!p.begin(&device)) return 0;
    const double dpi = device.logicalDpiY();
    auto mm = [dpi](double v) { return v * dpi / 25.4; };
    const double width = device.width();
    const double height = device.height();

    QFont body(QStringLiteral("DejaVu Sans"));
    body.setStyleHint(QFont::SansSerif);
    body.setPointSizeF(m_def.fontPt);
    QFont bold = body;
    bold.setBold(true);
    QFont titleFont = bold;
    titleFont.setPointSizeF(m_def.fontPt * 2.0);
    QFont subFont = body;
    subFont.setPointSizeF(m_def.fontPt * 1.3);
    const QFontMetricsF fmBody(body, &device);
    const QFontMetricsF fmBold(bold, &device);
    const QFontMetricsF fmTitle(titleFont, &device);
    const QFontMetricsF fmSub(subFont, &device);

    // Columns across the page.
    const int nc = int(m_def.columns.size());
    double totalWeight = 0;
    for (const auto& c : m_def.columns)
        totalWeight += c.width;
    QVector<double> x(nc + 1);
    x[0] = 0;
    for (int c = 0; c < nc; ++c)
        x[c + 1] = x[c] + width * m_def.columns.at(c).width / totalWeight;
    const double pad = mm(1.1);
    int firstSum = -1, lastSum = -1;
    for (int c = 0; c < nc; ++c) {
        if (!m_def.columns.at(c).sum) continue;
        if (firstSum < 0) firstSum = c;
        lastSum = c;
    }
    // Where the words of a total line go: after the summed columns when
    // there is room, otherwise before them.
    auto labelSpan = [&](double y, double h) {
        if (lastSum >= 0 && nc - lastSum - 1 >= 3)
            return QRectF(x[lastSum + 1] + pad, y, width - x[lastSum + 1] - 2 * pad, h);
        const double right = firstSum >= 0 ? x[firstSum] : width;
        return QRectF(pad, y, right - 2 * pad, h);
    };

    // Cell texts repeat a great deal (dates, sellers, origins, silos, many
    // readings): each distinct text is shaped once and its glyphs reused.
    struct Shaped {
        QList<QGlyphRun> runs;
        double width = 0;
    };
    QHash<QString, Shaped> shapedCache;
    auto layOut = [&](const QString& t) {
        QTextLayout layout(t, body, &device);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        layout.endLayout();
        Shaped sh;
        sh.runs = layout.glyphRuns();
        sh.width = line.isValid() ? line.naturalTextWidth() : 0;
        return sh;
    };
    // Figures, dates and record numbers (most of a long report's distinct
    // texts) are put together from their characters' glyphs, each shaped
    // once: the digits and their marks have one form and no kerning between
    // them in the report's font.
    QHash<char16_t, Shaped> figureGlyphs;
    auto isFigure = [](const QString& t) {
        if (t.isEmpty() || t.size() > 40) return false;
        for (QChar c : t)
            if (!c.isDigit() && !QStringView(u".,-/:%").contains(c)) return false;
        for (QChar c : t)
            if (c.unicode() >= 0x80) return false;
        return true;
    };
    auto figure = [&](const QString& t, Shaped& out) {
        QVector<quint32> indexes;
        QVector<QPointF> positions;
        QRawFont font;
        double x = 0;
        for (QChar c : t) {
            auto it = figureGlyphs.constFind(c.unicode());
            if (it == figureGlyphs.constEnd())
                it = figureGlyphs.insert(c.unicode(), layOut(QString(c)));
            if (it->runs.size() != 1 || it->runs.first().glyphIndexes().size() != 1) return false;
            const QGlyphRun& run = it->runs.first();
            if (!font.isValid())
                font = run.rawFont();
            else if (run.rawFont() != font)
                return false;
            indexes << run.glyphIndexes().first();
            positions << run.positions().first() + QPointF(x, 0);
            x += it->width;
        }
        QGlyphRun run;
        run.setRawFont(font);
        run.setGlyphIndexes(indexes);
        run.setPositions(positions);
        out.runs = {run};
        out.width = x;
        return true;
    };
    // A figure is put together each time (cheaper than looking it up among
    // a long report's hundred thousand of them); other texts are kept.
    auto shaped = [&](const QString& t) -> Shaped {
        Shaped sh;
        if (isFigure(t) && figure(t, sh)) return sh;
        auto it = shapedCache.constFind(t);
        if (it != shapedCache.constEnd()) return *it;
        if (shapedCache.size() > 50000) shapedCache.clear();
        return *shapedCache.insert(t, layOut(t));
    };
    // The width of a text as printed; a figure's from its characters'.
    auto widthOf = [&](const QString& t) {
        if (!isFigure(t)) return shaped(t).width;
        double x = 0;
        for (QChar c : t) {
            auto it = figureGlyphs.constFind(c.unicode());
            if (it == figureGlyphs.constEnd())
                it = figureGlyphs.insert(c.unicode(), layOut(QString(c)));
            x += it->width;
        }
        return x;
    };

    // Elided forms of long texts, by text and width.
    QHash<QPair<QString, int>, QString> elidedCache;
    auto elided = [&](const QString& t, double w) {
        const QPair<QString, int> key(t, int(w));
        auto it = elidedCache.constFind(key);
        if (it != elidedCache.constEnd()) return *it;
        if (elidedCache.size() > 20000) elidedCache.clear();
        return *elidedCache.insert(key, fmBody.elidedText(t, Qt::ElideRight, w));
    };
    // A text wider than its column is wrapped onto more lines of its row
    // (words kept whole where they fit), so that two long names never show
    // as the same cut text: the row grows to hold the whole text. Only a row
    // taller than a page's body is cut, and then its cut texts end in "…".
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    p.setFont(body);
    const double lineStep = fmBody.lineSpacing();
    auto columnWidth = [&](int c) { return x[c + 1] - x[c] - 2 * pad; };
    // The lines a text takes in a width, as they are printed.
    QHash<QPair<QString, int>, QStringList> wrappedCache;
    auto wrapped = [&](const QString& t, double w) -> const QStringList& {
        const QPair<QString, int> key(t, int(w * 16));
        auto it = wrappedCache.constFind(key);
        if (it != wrappedCache.constEnd()) return *it;
        if (wrappedCache.size() > 20000) wrappedCache.clear();
        QTextLayout layout(t, body, &device);
        layout.setTextOption(wrap);
        layout.beginLayout();
        QStringList parts;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(w);
            QString part = t.mid(line.textStart(), line.textLength());
            while (!part.isEmpty() && part.back().isSpace())
                part.chop(1);
            parts << part;
        }
        layout.endLayout();
        if (parts.isEmpty()) parts << QString();
        return *wrappedCache.insert(key, parts);
    };
    QRawFont rowFont; // the body font at the device's size, from the first shaped text
    QVector<quint32> rowIndexes;
    QVector<QPointF> rowPositions;
    // Where a text of that width starts in its column.
    auto leftOf = [&](int c, double w, double textWidth) {
        double left = x[c] + pad;
        switch (m_def.columns.at(c).align) {
        case ReportDefinition::Align::Right:
            left += w - textWidth;
            break;
        case ReportDefinition::Align::Center:
            left += (w - textWidth) / 2;
            break;
        case ReportDefinition::Align::Left:
            break;
        }
        return left;
    };

    const double rowH = fmBody.height() * 1.3;
    const double totalH = fmBold.height() * 1.6;
    const double headerRowH = fmBold.height() * 2.4;
    const double titleH = fmTitle.height() + fmSub.height() + fmBody.height() * 1.6 + mm(2);
    const double footerH = fmBody.height() * 2.0;
    const double bodyTop = titleH + headerRowH;
    const double bodyBottom = height - footerH;
    // The most lines a row may have: it and the day's total below it fit in
    // one page's body.
    const int mostLines =
        std::max(1, int(std::floor((bodyBottom - bodyTop - rowH - totalH * 1.3) / lineStep)) + 1);
    QVector<int> rowLines(m_data.rowCount(), 1);
    for (int r = 0; r < m_data.rowCount(); ++r)
        for (int c = 0; c < nc; ++c) {
            const QString t = m_data.cellText(m_def, r, c);
            if (t.isEmpty() || widthOf(t) <= columnWidth(c)) continue;
            const int n = int(wrapped(t, columnWidth(c)).size());
            rowLines[r] = std::clamp(std::max(rowLines[r], n), 1, mostLines);
        }

    // The lines of the body, then the pages they fall on.
    QVector<Line> lines;
    lines.reserve(m_data.rowCount() + m_data.groups().size() + 1);
    if (m_data.rowCount() == 0) {
        lines.push_back({LineKind::Empty, 0});
    } else if (m_data.groups().isEmpty()) {
        for (int r = 0; r < m_data.rowCount(); ++r)
            lines.push_back({LineKind::Row, r});
        lines.push_back({LineKind::GrandTotal, 0});
    } else {
        for (int g = 0; g < m_data.groups().size(); ++g) {
            const auto& grp = m_data.groups().at(g);
            for (int r = grp.first; r < grp.first + grp.count; ++r)
                lines.push_back({LineKind::Row, r});
            lines.push_back({LineKind::GroupTotal, g});
        }
        lines.push_back({LineKind::GrandTotal, 0});
    }
    auto lineHeight = [&](const Line& l) {
        switch (l.kind) {
        case LineKind::Row:
            return rowH + (rowLines.at(l.index) - 1) * lineStep;
        case LineKind::GroupTotal:
            return totalH;
        case LineKind::GrandTotal:
            return totalH * 1.3;
        case LineKind::Empty:
            return totalH * 2;
        }
        return rowH;
    };
    QVector<int> pageStart{0};
    double y = bodyTop;
    for (int i = 0; i < lines.size(); ++i) {
        const double h = lineHeight(lines.at(i));
        if (y + h > bodyBottom && i > pageStart.back()) {
            pageStart.push_back(i);
            y = bodyTop;
        }
        y += h;
    }
    const int pages = int(pageStart.size());

    const QString head = title();
    const QString sub = subtitle();
    const QString sel = selectionLine();
    const QString printed = QStringLiteral("Impreso el %1 %2")
                                .arg(DateText::format(m_printedAt.date()),
                                     m_printedAt.toString(QStringLiteral("HH:mm")));
    const QString footLeft = fill(m_def.footer, QStringLiteral("report"), m_def.caption);
    const QPen thin(Qt::black, mm(0.15));
    const QPen rule(Qt::black, mm(0.3));
    const QColor shade(0xee, 0xee, 0xee);

    for (int page = 0; page < pages; ++page) {
        if (page > 0) device.newPage();
        // Title block.
        double ty = 0;
        p.setFont(titleFont);
        p.drawText(QRectF(0, ty, width, fmTitle.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   fmTitle.elidedText(head, Qt::ElideRight, width * 0.75));
        ty += fmTitle.height();
        p.setFont(subFont);
        p.drawText(QRectF(0, ty, width, fmSub.height()), Qt::AlignLeft | Qt::AlignVCenter, sub);
        ty += fmSub.height();
        p.setFont(body);
        p.drawText(QRectF(0, ty, width, fmBody.height() * 1.6), Qt::AlignLeft | Qt::AlignVCenter,
                   fmBody.elidedText(sel, Qt::ElideRight, width * 0.75));
        p.drawText(QRectF(0, ty, width, fmBody.height() * 1.6), Qt::AlignRight | Qt::AlignVCenter,
                   printed);
        // Column headers.
        const double hy = titleH;
        p.setPen(rule);
        p.drawLine(QPointF(0, hy), QPointF(width, hy));
        p.drawLine(QPointF(0, hy + headerRowH), QPointF(width, hy + headerRowH));
        p.setFont(bold);
        for (int c = 0; c < nc; ++c) {
            const auto& col = m_def.columns.at(c);
            p.drawText(QRectF(x[c] + pad, hy, x[c + 1] - x[c] - 2 * pad, headerRowH),
                       (toQt(col.align) & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, col.header);
        }
        // Body.
        const int end = page + 1 < pages ? pageStart.at(page + 1) : int(lines.size());
        double by = bodyTop;
        for (int i = pageStart.at(page); i < end; ++i) {
            const Line& l = lines.at(i);
            const double h = lineHeight(l);
            switch (l.kind) {
            case LineKind::Row: {
                if (l.index % 2 == 1) p.fillRect(QRectF(0, by, width, h), shade);
                p.setFont(body);
                p.setPen(Qt::black);
                // Cells are drawn from their shaped glyphs, the whole row as
                // one glyph run where the cells share a font: no text layout
                // per cell, and few text objects in the PDF.
                const double top = by + (rowH - fmBody.height()) / 2;
                rowIndexes.clear();
                rowPositions.clear();
                for (int c = 0; c < nc; ++c) {
                    const double w = columnWidth(c);
                    const QString t = m_data.cellText(m_def, l.index, c);
                    if (t.isEmpty()) continue;
                    const Shaped shapedText = shaped(t);
                    const Shaped* sh = &shapedText;
                    if (sh->width > w) {
                        // Line by line, as measured; a text with more lines
                        // than its row holds ends its last one in "…".
                        const QStringList& parts = wrapped(t, w);
                        const int shown = std::min(int(parts.size()), rowLines.at(l.index));
                        const Qt::Alignment a =
                            (toQt(m_def.columns.at(c).align) & Qt::AlignHorizontal_Mask) |
                            Qt::AlignTop;
                        for (int i = 0; i < shown; ++i) {
                            QString part = parts.at(i);
                            if (i == shown - 1 && shown < parts.size())
                                part = fmBody.elidedText(part + QStringLiteral(" ") +
                                                             parts.at(i + 1) + QChar(0x2026),
                                                         Qt::ElideRight, w);
                            else if (fmBody.horizontalAdvance(part) > w)
                                part = elided(part, w);
                            p.drawText(QRectF(x[c] + pad, top + i * lineStep, w, lineStep), a,
                                       part);
                        }
                        continue;
                    }
                    const double left = leftOf(c, w, sh->width);
                    for (const QGlyphRun& run : sh->runs) {
                        if (!rowFont.isValid()) rowFont = run.rawFont();
                        if (run.rawFont() != rowFont) {
                            p.drawGlyphRun(QPointF(left, top), run);
                            continue;
                        }
                        rowIndexes += run.glyphIndexes();
                        for (const QPointF& gp : run.positions())
                            rowPositions.push_back(gp + QPointF(left, top));
                    }
                }
                if (!rowIndexes.isEmpty()) {
                    QGlyphRun row;
                    row.setRawFont(rowFont);
                    row.setGlyphIndexes(rowIndexes);
                    row.setPositions(rowPositions);
                    p.drawGlyphRun(QPointF(0, 0), row);
                }
                break;
            }
            case LineKind::GroupTotal:
            case LineKind::GrandTotal: {
                const bool grand = l.kind == LineKind::GrandTotal;
                p.setPen(grand ? rule : thin);
                p.drawLine(QPointF(0, by + mm(0.3)), QPointF(width, by + mm(0.3)));
                if (grand) p.drawLine(QPointF(0, by + mm(0.9)), QPointF(width, by + mm(0.9)));
                p.setPen(Qt::black);
                p.setFont(bold);
                QString label;
                int missing = 0;
                if (grand) {
                    missing = m_data.missingCount();
                    label = fill(m_def.grandTotal, QStringLiteral("count"),
                                 m_def.countText(m_data.loadCount()));
                } else {
                    const auto& g = m_data.groups().at(l.index);
                    const QString value =
                        m_def.groupByName
                            ? (g.name.isEmpty() ? QStringLiteral("(sin nombre)") : g.name)
                            : DateText::format(g.day);
                    label = fill(fill(m_def.groupFooter, QStringLiteral("value"), value),
                                 QStringLiteral("count"), m_def.countText(g.loads));
                    missing = g.missing;
                }
                if (missing > 0)
                    label +=
                        fill(m_def.missingText, QStringLiteral("count"), QString::number(missing));
                // A total may be wider than its column: it may use the empty
                // room to its left, up to the previous summed column.
                double room = 0;
                for (int c = 0; c < nc; ++c) {
                    const auto& col = m_def.columns.at(c);
                    if (!col.sum) continue;
                    const double v = grand ? m_data.total(c) : m_data.groupTotal(l.index, c);
                    const QRectF cell(room + pad, by, x[c + 1] - room - 2 * pad, h);
                    p.drawText(cell, Qt::AlignRight | Qt::AlignVCenter,
                               ReportData::formatNumber(v, col.decimals));
                    room = x[c + 1];
                }
                const QRectF lr = labelSpan(by, h);
                p.drawText(lr, Qt::AlignLeft | Qt::AlignVCenter,
                           fmBold.elidedText(label, Qt::ElideRight, lr.width()));
                break;
            }
            case LineKind::Empty:
                p.setFont(bold);
                p.setPen(Qt::black);
                p.drawText(QRectF(0, by, width, h), Qt::AlignHCenter | Qt::AlignVCenter,
                           m_def.emptyText);
                break;
            }
            by += h;
        }
        // Footer.
        p.setPen(thin);
        p.drawLine(QPointF(0, height - footerH * 0.8), QPointF(width, height - footerH * 0.8));
        p.setPen(Qt::black);
        p.setFont(body);
        const QRectF fr(0, height - footerH * 0.8, width, footerH * 0.8);
        p.drawText(fr, Qt::AlignLeft | Qt::AlignVCenter, footLeft);
        p.drawText(fr, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Página %1 de %2").arg(page + 1).arg(pages));
    }
    p.end();
    return pages;
}
