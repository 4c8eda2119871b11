#pragma once

#include <QDate>
#include <QString>

class DataService;
class SettlementRules;

// Computes again, with the rules now in force, the settlement kept in every
// load of a date range (both days included), when the plant asks for it
// after changing its rules: each row whose kept values or rules' version
// differ is updated in one statement, which leaves its record in the change
// history under the operator. A row changed by a desk between the reading
// and the writing is left as that desk computed it. One transaction.
class RangeRecompute
{
public:
    struct Outcome {
        int loads = 0;     // rows of the range with a settlement
        int changed = 0;   // rows rewritten
        int values = 0;    // of them, with other figures (not only the version)
        int meanwhile = 0; // left: changed by another desk meanwhile
        qint64 version = 0;
        // What was done, in words.
        QString text(const QDate& from, const QDate& to) const;
    };

    RangeRecompute(DataService& data, const SettlementRules& rules, const QString& operador)
        : m_data(data), m_rules(rules), m_operador(operador)
    {
    }

    // Raises ServiceError (nothing changed) when the database refuses.
    Outcome run(const QDate& from, const QDate& to);

    // The lock number the recomputation holds.
    static constexpr qint64 kBloqueo = 0x4d560100000LL;

private:
    DataService& m_data;
    const SettlementRules& m_rules;
    QString m_operador;
};
