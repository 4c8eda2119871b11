#pragma once

#include <QString>
#include <optional>

class QVariant;
class frmTrigo;

// The two rules of each laboratory reading (tonnes, wet and dry gluten,
// falling number, humidity, hectolitre weight):
// - a wide plausibility range that no instrument reading leaves; a typed value
//   outside it is refused at entry (like a wrong deposit number);
// - tonnes finer than the gram and humidity, hectolitre weight and falling
//   number finer than the hundredth are refused at entry: the kept silo sums
//   hold them so, and the silo figures must equal the rows;
// - the plant's acceptance limits, from the configuration table (keys
//   LIMITE_<COLUMN>_MIN and LIMITE_<COLUMN>_MAX, e.g. LIMITE_HUMEDAD_MAX);
//   a value beyond them is accepted but flagged. A missing key is no limit.
// A reading of 0 or an empty cell is a reading not taken (the sheet stores an
// emptied reading as 0): it is neither refused nor flagged.
class QualityLimits
{
public:
    struct Limit {
        std::optional<double> min;
        std::optional<double> max;
    };

    explicit QualityLimits(frmTrigo& w) : w(w) {}

    // The refusal of a typed value, for the operator; empty when the field is
    // no reading, the text is empty or no number, or the value is plausible
    // and no finer than the kept sums hold it.
    static QString plausibilityMessage(const QString& field, const QString& text);
    // The plausibility range of a reading column (none for other columns).
    static std::optional<Limit> plausibleRange(const QString& field);
    // True for the reading columns.
    static bool isReading(const QString& field);
    // The configuration key of a limit ("humedad", max -> "LIMITE_HUMEDAD_MAX").
    static QString key(const QString& field, bool max);

    // Reads the acceptance limits from the configuration table again, in one
    // statement; a table that cannot be read is said once (no limits then).
    void reload();
    Limit limit(const QString& field) const;
    // Why the value is beyond the acceptance limits of its column (for the
    // cell's tooltip); empty when it is within them or is no reading taken.
    QString breach(const QString& field, double value) const;
    // The same for a cell of the sheet (its column found by position).
    QString cellBreach(int row, int col) const;
    // The column name of a sheet column ("" for the identifier column).
    static QString fieldOfColumn(int col);

private:
    frmTrigo& w;
    Limit m_porLectura[6]; // in the order of the reading columns
    bool m_alguno = false; // any limit set
    bool m_avisado = false; // the operator was told the limits cannot be read
};
