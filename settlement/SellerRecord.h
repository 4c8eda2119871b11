#pragma once

#include <QString>
#include <QVector>

class DataService;

// The sellers as the plant pays them: the CUIT of a seller (ta_vendedor, by
// the name as written in the loads), and the spellings of one seller (names
// that differ only in case, accents, commas or blanks) made one by rewriting
// the loads' seller, each row in the sheet's own write (with its time and
// operator, so that the change history keeps every rewrite).
class SellerRecord
{
public:
    struct Spelling {
        QString name;
        int loads = 0;
    };

    explicit SellerRecord(DataService& data) : m_data(data) {}

    // The lock number its writes hold.
    static constexpr qint64 kBloqueo = 0x4d560200000LL;

    // The spellings of the seller the name stands for, most used first.
    QVector<Spelling> spellings(const QString& name);
    // The CUIT kept for that name (its eleven digits), or empty.
    QString cuit(const QString& name);
    // Keeps the CUIT (checked; ServiceError TypeMismatch naming it when it is
    // wrong) for the name; an empty text takes it away.
    void setCuit(const QString& name, const QString& text);
    // Writes `target` in every load of the other spellings; the CUIT of a
    // spelling goes to the target when it has none. Answers the loads
    // rewritten. One transaction.
    int unify(const QString& target, const QVector<Spelling>& variants, const QString& operador);

private:
    DataService& m_data;
};
