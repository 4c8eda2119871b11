#include "OpenTransactions.h"

#include "DataService.h"

#include <QStringList>

std::optional<QSet<qint64>> OpenTransactions::now(DataService& data)
{
    switch (data.dialect().kind()) {
    case SqlDialect::Kind::SQLite:
        return QSet<qint64>();
    case SqlDialect::Kind::PostgreSQL:
        return fromSnapshot(
            data.openRecordSet(QStringLiteral("SELECT CAST(pg_current_snapshot() AS text)"))
                .value(0)
                .toString());
    case SqlDialect::Kind::SqlServer:
        break;
    }
    return std::nullopt;
}

std::optional<QSet<qint64>> OpenTransactions::fromSnapshot(const QString& text)
{
    const QStringList parts = text.trimmed().split(u':');
    if (parts.size() != 3) return std::nullopt;
    QSet<qint64> out;
    for (const QString& x : parts.at(2).split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qint64 n = x.trimmed().toLongLong(&ok);
        if (!ok) return std::nullopt;
        out.insert(n);
    }
    return out;
}
