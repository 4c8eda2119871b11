#pragma once

#include <QString>
#include <QVariant>
#include <optional>

class SettlementRules;

// What one load is worth: its shrink in percent (two decimals), its net
// kilograms and its grade, from its tonnes and readings and the plant's
// rules. Net kilograms are whole: the load's grams times (100 % - shrink),
// rounded half up to the kilogram (the shrink first taken to two decimals,
// as it is shown), all in whole numbers. A load without tonnes and without
// any reading (a blank row) has no settlement; without humidity, or with one
// the published table has no row for, it has no shrink and no net kilograms
// (why says so).
class LoadSettlement
{
public:
    struct Input {
        double toneladas = 0;
        double humedad = 0;
        double pesohect = 0;
        double fallingnumber = 0;
        double humedo = 0;
    };
    struct Result {
        std::optional<int> mermaCent;
        std::optional<qint64> kilos;
        QString grado;
        qint64 version = 0; // of the rules; 0 for a blank row
        QString why;        // of a missing shrink, then of a missing grade

        // The values as the row keeps them (NULL where there is none).
        QVariant merma() const;
        QVariant kg() const;
        QVariant gradoValue() const;
        QVariant versionValue() const;
        // As the sheet shows them: "2.22", "29334", "1".
        QString mermaText() const;
        QString kgText() const;
        bool operator==(const Result& o) const
        {
            return mermaCent == o.mermaCent && kilos == o.kilos && grado == o.grado &&
                   version == o.version;
        }
    };

    static Result of(const Input& input, const SettlementRules& rules);
    // The input of a row's stored values (NULL and values that are no finite
    // number count as 0: not taken).
    static Input input(const QVariant& toneladas, const QVariant& humedad, const QVariant& pesohect,
                       const QVariant& fallingnumber, const QVariant& humedo);
    // The kept values of a row as a result, to compare with a new one.
    static Result kept(const QVariant& merma, const QVariant& kg, const QVariant& grado,
                       const QVariant& version);

    static qint64 grams(double toneladas);
    // grams x (10000 - shrink in hundredths) / 10000, in kilograms, half up.
    static qint64 netKilos(qint64 grams, int mermaCent);
};
