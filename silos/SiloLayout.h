#pragma once

#include <QRectF>
#include <QVariant>

// Where the bars and labels of the silo panel go, in twips. W and H are the
// width and height of the panel's frame, n the number of deposits, k the
// silo (from 0). Sizes that would come out negative (a frame too small for
// its silos) are taken as 0, so that every silo still gets its place.
class SiloLayout
{
public:
    // Detailed view: one full-width bar per silo, stacked from the top.
    // `previous` is the capacity bar of silo k - 1 (unused for k = 0). Bars
    // are never lower than `minHeight`: many silos in a low frame then reach
    // below it (the panel scrolls).
    // `extra` is what the bar's label needs beyond its one line of design
    // (a label on more lines): the bar moves down by it.
    static QRectF detailedBar(double W, double H, int n, int k, const QRectF& previous,
                              double minHeight = 0, double extra = 0);
    // Its label above the bar, `labelHeight` high (its design height plus
    // `extra`).
    static QRectF detailedLabel(double W, int k, const QRectF& bar, double labelHeight,
                                double extra = 0);

    // Summary view: one column per silo, side by side. `firstLeft` is the
    // Left of the first column, which the view leaves where it stands.
    static QRectF summaryBar(double W, double H, int n, int k, const QRectF& previous,
                             double firstLeft);
    // Its label below the column, as wide as the column.
    static QRectF summaryLabel(const QRectF& bar, double labelHeight);

    // Summary view of more silos than fit side by side: the number of rows
    // the columns are wrapped into so that each column is at least
    // `minWidth` wide (1 when they fit in one row).
    static int summaryRows(double W, int n, double minWidth);
    // Column k of n wrapped into `rows` rows of ceil(n / rows) columns. Each
    // row takes an equal part of the frame below the option buttons, and is
    // never lower than a column of `minHeight` with its label (the panel
    // scrolls). One row without a minimum is the layout of summaryBar.
    static QRectF summaryBarInRows(double W, double H, int n, int k, double firstLeft, int rows,
                                   double minHeight);

    struct Used {
        QRectF rect;
        bool visible = false;
        bool full = false; // at or over capacity: drawn red
        bool over = false; // beyond capacity (rect then reaches out of the bar)
    };
    // The used-space bar inside the capacity bar `bar`: horizontal from the
    // bar's left in the detailed view, vertical from the bar's bottom in the
    // summary view, scaled by usado / capacidad in single precision. Hidden
    // when usado is null. A silo without a usable capacity (null, 0, negative
    // or no number) that has received tonnes is drawn full, as over capacity.
    static Used usedBar(bool summary, const QRectF& bar, const QVariant& usado,
                        const QVariant& capacidad);
};
