// Reading rows: record sets, declared lengths, existence of a value.
#include "DataService.h"

#include "OdbcReader.h"
#include "ServiceError.h"
#include "SqliteReader.h"

#include <QRegularExpression>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>

namespace
{

// `values` holds the rows one after the other, `width` values to a row.
int definedSizeOf(int length, int type, const QVector<QVariant>& values, int width, int col)
{
    if (length > 0 && length < 100000) return length;
    if (const int fixed = RecordSet::fixedSizeOf(type)) return fixed;
    // Drivers that report no declared length (SQLite): the longest value.
    int longest = 1;
    for (qsizetype i = col; i < values.size(); i += width) {
        const QVariant& v = values.at(i);
        if (!v.isNull()) longest = std::max<int>(longest, v.toString().size());
    }
    return longest;
}

RecordSet::Field fieldOf(const QString& name, int type, int length, const QVector<QVariant>& rows,
                         int width, int col)
{
    RecordSet::Field f;
    f.name = name;
    f.type = static_cast<QMetaType::Type>(type);
    f.definedSize = definedSizeOf(length, type, rows, width, col);
    f.declared = (length > 0 && length < 100000) || RecordSet::fixedSizeOf(type) > 0;
    return f;
}

} // namespace

RecordSet DataService::openRecordSet(const QString& sql, const QVariantList& params)
{
    QVariantList values;
    values.reserve(params.size());
    for (const QVariant& v : params)
        values << bindable(v);
    // The reader exists only while the connection is open (close() ends it
    // first).
    if (m_reader) {
        refuseIfMoved();
        QVector<RecordSet::Field> fields;
        QVector<QVariant> rows;
        SqliteReader::Failure failure;
        if (!m_reader->read(sql, values, fields, rows, failure))
            raise(failure.message.trimmed(), {}, failure.code);
        return RecordSet(std::move(fields), std::move(rows));
    }
    // On a server the read may outlive this call (given up on): it works on
    // copies of its own.
    auto out = std::make_shared<RecordSet>();
    auto step = [this, sql, values, out] {
        RecordSet& result = *out;
        if (readFromServer(sql, values, result)) return;
        std::shared_ptr<QSqlQuery> q = run(sql, values);
        const QSqlRecord rec = q->record();
        const int n = rec.count();
        QVector<QVariant> rows; // one row after the other
        while (q->next())
            for (int i = 0; i < n; ++i)
                rows.push_back(q->value(i));
        if (q->lastError().isValid()) {
            m_cache.remove(sql);
            raise(*q, sql);
        }
        QVector<RecordSet::Field> fields(n);
        for (int i = 0; i < n; ++i) {
            const QSqlField f = rec.field(i);
            fields[i] = fieldOf(f.name(), f.metaType().id(), f.length(), rows, n, i);
        }
        q->finish();
        result = RecordSet(std::move(fields), std::move(rows));
    };
    if (m_isServer)
        onServer(step, false);
    else
        guarded(step);
    return std::move(*out);
}

namespace
{

bool readsOnly(const QString& sql)
{
    const QString s = sql.trimmed();
    if (s.startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive)) return true;
    if (!s.startsWith(QLatin1String("WITH"), Qt::CaseInsensitive)) return false;
    static const QRegularExpression changes(QStringLiteral("\\b(INSERT|UPDATE|DELETE|MERGE)\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    return !changes.match(s).hasMatch();
}

} // namespace

bool DataService::readFromServer(const QString& sql, const QVariantList& values, RecordSet& result)
{
    if (!m_isServer || !m_serverReads || !isOpen()) return false;
    // Only what reads and nothing else: a statement the reader leaves to the
    // Qt driver after running it is run twice. A SELECT, or a SELECT after
    // named subqueries (the pick lists' walk through an index) that change
    // nothing.
    if (!readsOnly(sql)) return false;
    if (!m_odbcReader) {
        void* handle = OdbcReader::handleOf(database());
        if (!handle) return false;
        m_odbcReader = std::make_unique<OdbcReader>(handle, m_dialect);
    }
    QVector<OdbcReader::Column> columns;
    QVector<QVariant> rows;
    QString message;
    switch (m_odbcReader->read(sql, values, columns, rows, message)) {
    case OdbcReader::Outcome::NotHandled:
        return false;
    case OdbcReader::Outcome::Failed:
        raise(message.trimmed(), {}, 0);
    case OdbcReader::Outcome::Read:
        break;
    }
    const int n = int(columns.size());
    QVector<RecordSet::Field> fields(n);
    for (int i = 0; i < n; ++i) {
        const OdbcReader::Column& c = columns.at(i);
        fields[i] = fieldOf(c.field.name, c.field.type, c.length, rows, n, i);
    }
    result = RecordSet(std::move(fields), std::move(rows));
    return true;
}

void DataService::setDirectReads(bool on)
{
    m_reader.reset();
    m_odbcReader.reset();
    m_serverReads = on;
    if (!on || m_isServer || !isOpen()) return;
    if (sqlite3* handle = SqliteReader::handleOf(database()))
        m_reader = std::make_unique<SqliteReader>(handle, m_dialect);
}

bool DataService::directReads() const
{
    return m_isServer ? m_serverReads : m_reader != nullptr;
}

QHash<QString, int> DataService::declaredLengths(const QString& relation)
{
    static const QRegularExpression length(QStringLiteral("\\(\\s*(\\d+)\\s*\\)\\s*$"));
    QHash<QString, int> out;
    QString name = relation.trimmed();
    if (name.startsWith(u'[') && name.endsWith(u']')) name = name.mid(1, name.size() - 2);
    if (name.isEmpty()) return out;
    const RecordSet rs = openRecordSet(m_dialect.columnLengths(), {name});
    for (const auto& row : rs.rows()) {
        const QVariant& v = row.at(1);
        bool ok = false;
        int n = v.toInt(&ok);
        if (!ok) {
            const auto m = length.match(v.toString());
            n = m.hasMatch() ? m.captured(1).toInt() : 0;
        }
        if (n > 0) out.insert(row.at(0).toString().trimmed().toLower(), n);
    }
    return out;
}

bool DataService::exists(const QString& table, const QString& value, const QString& column)
{
    const QString sql =
        QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?")
            .arg(m_dialect.quoteIdentifier(table), m_dialect.quoteIdentifier(column));
    RecordSet rs = openRecordSet(sql, {value});
    return !rs.isEmpty();
}
