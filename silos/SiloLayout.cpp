#include "SiloLayout.h"

#include <algorithm>
#include <cmath>

namespace
{
double notNegative(double v)
{
    return std::isfinite(v) ? std::max(0.0, v) : 0.0;
}
} // namespace

QRectF SiloLayout::detailedBar(double W, double H, int n, int k, const QRectF& previous,
                               double minHeight, double extra)
{
    const double width = notNegative(W - 350);
    const double height = std::max(notNegative(H / n - 140 - 285), minHeight);
    const double top =
        (k == 0 ? 650 : previous.top() + previous.height() + 350) + notNegative(extra);
    return {195, top, width, height};
}

QRectF SiloLayout::detailedLabel(double W, int k, const QRectF& bar, double labelHeight,
                                 double extra)
{
    const double top = bar.top() - (k == 0 ? 255 : 285) - notNegative(extra);
    return {195, top, notNegative(W - 350), labelHeight};
}

QRectF SiloLayout::summaryBar(double W, double H, int n, int k, const QRectF& previous,
                              double firstLeft)
{
    const double width = notNegative(W / n - 140);
    const double height = notNegative(H - 1000);
    const double left = k == 0 ? firstLeft : previous.left() + previous.width() + 100;
    return {left, 500, width, height};
}

QRectF SiloLayout::summaryLabel(const QRectF& bar, double labelHeight)
{
    return {bar.left(), bar.top() + bar.height() + 100, bar.width(), labelHeight};
}

int SiloLayout::summaryRows(double W, int n, double minWidth)
{
    int rows = 1;
    while (rows < n) {
        const int perRow = (n + rows - 1) / rows;
        if (W / perRow - 140 >= minWidth) break;
        ++rows;
    }
    return std::max(1, rows);
}

QRectF SiloLayout::summaryBarInRows(double W, double H, int n, int k, double firstLeft, int rows,
                                    double minHeight)
{
    rows = std::clamp(rows, 1, std::max(1, n));
    const int perRow = (n + rows - 1) / rows;
    const int row = k / perRow;
    const int column = k % perRow;
    // Each row: its columns from 500 below the top of its band, and 500 for
    // the label under them, as one row has in the frame.
    const double band = std::max((H - 500) / rows, minHeight + 500);
    const double width = notNegative(W / perRow - 140);
    const double height = notNegative(band - 500);
    return {firstLeft + column * (width + 100), 500 + row * band, width, height};
}

SiloLayout::Used SiloLayout::usedBar(bool summary, const QRectF& bar, const QVariant& usado,
                                     const QVariant& capacidad)
{
    Used u;
    const float barSize = static_cast<float>(summary ? bar.height() : bar.width());
    float size = 0;
    if (!usado.isNull() && usado.isValid()) {
        u.visible = true;
        bool capOk = false;
        const double cap = capacidad.isNull() ? 0.0 : capacidad.toDouble(&capOk);
        const double used = usado.toDouble();
        if (!capOk || !(cap > 0) || !std::isfinite(cap)) {
            size = barSize; // nothing to scale by: shown full, as over capacity
            u.full = true;
            u.over = true;
        } else {
            size = static_cast<float>(used * barSize / cap);
            if (!std::isfinite(size) || size < 0) size = 0; // a negative total draws nothing
            u.full = size >= barSize;
            u.over = size > barSize;
        }
    }
    if (summary) {
        u.rect = QRectF(bar.left(), bar.top() + bar.height() - size, bar.width(), size);
    } else {
        u.rect = QRectF(bar.left(), bar.top(), size, bar.height());
    }
    return u;
}
