#include "OdbcReader.h"

#include "RecordText.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QStringList>
#include <charconv>
#include <cstring>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
#include <vector>

namespace
{

// Rows brought from the driver in one call.
constexpr SQLULEN kRowsPerFetch = 256;
// UTF-16 units kept for a text whose column declares no short length; a
// longer value makes the statement run again with room for it.
constexpr SQLLEN kFirstTextUnits = 1024;
constexpr SQLLEN kMostTextUnits = 1 << 20;
// Bytes kept for a number with decimals written out ("-1.2345678901234567e-300").
constexpr SQLLEN kNumberChars = 64;

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager's wide texts are UTF-16");

const SQLWCHAR* wide(const QString& s)
{
    return reinterpret_cast<const SQLWCHAR*>(s.utf16());
}

QString diagnostics(SQLSMALLINT type, SQLHANDLE handle)
{
    QStringList parts;
    for (SQLSMALLINT i = 1; i < 10; ++i) {
        SQLWCHAR state[SQL_SQLSTATE_SIZE + 1];
        SQLINTEGER native = 0;
        SQLWCHAR text[1024];
        SQLSMALLINT length = 0;
        const SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, text, 1024, &length);
        if (!SQL_SUCCEEDED(r)) break;
        parts << QString::fromUtf16(reinterpret_cast<const char16_t*>(text),
                                    std::clamp<int>(length, 0, 1023));
    }
    return parts.join(u' ');
}

} // namespace

// A value to bind, with the storage the driver reads it from.
struct OdbcReader::Param {
    SQLSMALLINT cType = SQL_C_WCHAR;
    SQLSMALLINT sqlType = SQL_WVARCHAR;
    SQLULEN size = 0;
    std::vector<char> data;
    SQLLEN ind = 0;

    template <typename T> void set(const T& v)
    {
        data.resize(sizeof(T));
        std::memcpy(data.data(), &v, sizeof(T));
        ind = sizeof(T);
    }
};

bool OdbcReader::makeParam(const QVariant& v, Param& p)
{
    const bool null = v.isNull();
    switch (v.metaType().id()) {
    case QMetaType::Int:
        p.cType = SQL_C_SLONG;
        p.sqlType = SQL_INTEGER;
        p.set(SQLINTEGER(v.toInt()));
        break;
    case QMetaType::LongLong:
        p.cType = SQL_C_SBIGINT;
        p.sqlType = SQL_BIGINT;
        p.set(SQLBIGINT(v.toLongLong()));
        break;
    case QMetaType::Double:
        p.cType = SQL_C_DOUBLE;
        p.sqlType = SQL_DOUBLE;
        p.set(v.toDouble());
        break;
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        SQL_TIMESTAMP_STRUCT ts{};
        ts.year = SQLSMALLINT(d.year());
        ts.month = SQLUSMALLINT(d.month());
        ts.day = SQLUSMALLINT(d.day());
        ts.hour = SQLUSMALLINT(t.hour());
        ts.minute = SQLUSMALLINT(t.minute());
        ts.second = SQLUSMALLINT(t.second());
        ts.fraction = SQLUINTEGER(t.msec()) * 1000000;
        p.cType = SQL_C_TYPE_TIMESTAMP;
        p.sqlType = SQL_TYPE_TIMESTAMP;
        p.size = t.msec() ? 23 : 19;
        p.set(ts);
        break;
    }
    case QMetaType::QString: {
        const QString s = v.toString();
        p.cType = SQL_C_WCHAR;
        p.sqlType = s.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
        p.size = SQLULEN(std::max<qsizetype>(1, s.size()));
        p.data.resize(size_t(s.size() + 1) * sizeof(char16_t));
        std::memcpy(p.data.data(), s.utf16(), p.data.size());
        p.ind = SQLLEN(s.size() * sizeof(char16_t));
        break;
    }
    default:
        return false;
    }
    if (null) p.ind = SQL_NULL_DATA;
    return true;
}

struct OdbcReader::Prepared {
    SQLHSTMT st = SQL_NULL_HSTMT;
    bool described = false;
    bool unsupported = false;
    struct Col {
        Column column;
        QString typeName; // the database's own name of the column's type
        SQLSMALLINT cType = 0;
        SQLLEN width = 0;  // bytes of one value's place
        SQLLEN needed = 0; // bytes a longer text asked for
        std::vector<char> data;
        std::vector<SQLLEN> ind;
    };
    std::vector<Col> cols;
    SQLULEN fetched = 0;
    // On PostgreSQL: the same statement giving each row as one record text,
    // and the columns that text is read back into.
    std::shared_ptr<Prepared> packed;
    QVector<Column> unpackTo;
    bool packTried = false; // whether such a statement was looked for

    ~Prepared()
    {
        if (st != SQL_NULL_HSTMT) SQLFreeHandle(SQL_HANDLE_STMT, st);
    }
};

void* OdbcReader::handleOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || db.driverName() != QLatin1String("QODBC") || !db.driver()) return nullptr;
    const QVariant v = db.driver()->handle();
    // The Qt driver gives its connection handle as a SQLHANDLE (a void*).
    if (v.metaType() != QMetaType::fromType<void*>() && qstrcmp(v.typeName(), "SQLHANDLE") != 0)
        return nullptr;
    return *static_cast<void* const*>(v.constData());
}

OdbcReader::OdbcReader(void* connection, const SqlDialect& dialect)
    : m_dbc(connection), m_dialect(dialect)
{
}

OdbcReader::~OdbcReader()
{
    clear();
}

void OdbcReader::clear()
{
    m_statements.clear();
}

void OdbcReader::drop(const QString& sql)
{
    m_statements.remove(sql);
}

OdbcReader::Prepared* OdbcReader::statement(const QString& sql, QString& message)
{
    // Translated only when it is prepared: a kept statement is found by the
    // program's own text.
    if (auto it = m_statements.find(sql); it != m_statements.end()) return it->get();
    std::shared_ptr<Prepared> p = prepare(m_dialect.translate(sql), message);
    return p ? m_statements.insert(sql, p)->get() : nullptr;
}

std::shared_ptr<OdbcReader::Prepared> OdbcReader::prepare(const QString& translated,
                                                          QString& message)
{
    auto p = std::make_shared<Prepared>();
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, static_cast<SQLHDBC>(m_dbc), &p->st))) {
        p->st = SQL_NULL_HSTMT;
        message = diagnostics(SQL_HANDLE_DBC, static_cast<SQLHDBC>(m_dbc));
        return nullptr;
    }
    SQLSetStmtAttr(p->st, SQL_ATTR_ROW_BIND_TYPE, SQLPOINTER(SQL_BIND_BY_COLUMN), 0);
    SQLSetStmtAttr(p->st, SQL_ATTR_ROW_ARRAY_SIZE, SQLPOINTER(kRowsPerFetch), 0);
    SQLSetStmtAttr(p->st, SQL_ATTR_ROWS_FETCHED_PTR, &p->fetched, 0);
    if (!SQL_SUCCEEDED(SQLPrepareW(p->st, const_cast<SQLWCHAR*>(wide(translated)), SQL_NTS))) {
        message = diagnostics(SQL_HANDLE_STMT, p->st);
        return nullptr;
    }
    return p;
}

// The columns of an executed statement and how each is read; false when one
// is of a kind the Qt driver would give differently from what is bound here.
bool OdbcReader::describe(Prepared& p)
{
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(p.st, &count))) return false;
    p.cols.assign(size_t(count), {});
    for (SQLUSMALLINT i = 0; i < SQLUSMALLINT(count); ++i) {
        SQLWCHAR name[256];
        SQLSMALLINT nameLength = 0, type = 0, digits = 0, nullable = 0;
        SQLULEN size = 0;
        if (!SQL_SUCCEEDED(SQLDescribeColW(p.st, i + 1, name, 256, &nameLength, &type, &size,
                                           &digits, &nullable)))
            return false;
        Prepared::Col& c = p.cols[i];
        SQLWCHAR typeName[64];
        SQLSMALLINT typeNameBytes = 0;
        if (SQL_SUCCEEDED(SQLColAttributeW(p.st, i + 1, SQL_DESC_TYPE_NAME, typeName,
                                           sizeof typeName, &typeNameBytes, nullptr)))
            c.typeName =
                QString::fromUtf16(reinterpret_cast<const char16_t*>(typeName),
                                   std::clamp<int>(typeNameBytes / int(sizeof(SQLWCHAR)), 0, 63));
        c.column.field.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(name),
                                                 std::clamp<int>(nameLength, 0, 255));
        c.column.length = size > 0 && size < SQLULEN(INT_MAX) ? int(size) : 0;
        switch (type) {
        case SQL_BIGINT:
        case SQL_INTEGER:
        case SQL_SMALLINT: {
            SQLLEN isUnsigned = SQL_FALSE;
            SQLColAttributeW(p.st, i + 1, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &isUnsigned);
            if (isUnsigned == SQL_TRUE) return false;
            const bool big = type == SQL_BIGINT;
            c.column.field.type = big ? QMetaType::LongLong : QMetaType::Int;
            c.cType = big ? SQL_C_SBIGINT : SQL_C_SLONG;
            c.width = big ? sizeof(SQLBIGINT) : sizeof(SQLINTEGER);
            break;
        }
        case SQL_DOUBLE:
        case SQL_FLOAT:
        case SQL_REAL:
            c.column.field.type = QMetaType::Double;
            if (m_dialect.kind() == SqlDialect::Kind::PostgreSQL) {
                // The server's own text (the shortest that reads back as the
                // same number), read here: the driver's conversion costs more
                // than the rest of a value's way.
                c.cType = SQL_C_CHAR;
                c.width = kNumberChars;
            } else {
                c.cType = SQL_C_DOUBLE;
                c.width = sizeof(double);
            }
            break;
        case SQL_TYPE_TIMESTAMP:
            c.column.field.type = QMetaType::QDateTime;
            c.cType = SQL_C_TYPE_TIMESTAMP;
            c.width = sizeof(SQL_TIMESTAMP_STRUCT);
            break;
        case SQL_TYPE_DATE:
            c.column.field.type = QMetaType::QDate;
            c.cType = SQL_C_TYPE_DATE;
            c.width = sizeof(SQL_DATE_STRUCT);
            break;
        case SQL_CHAR:
        case SQL_VARCHAR:
        case SQL_LONGVARCHAR:
        case SQL_WCHAR:
        case SQL_WVARCHAR:
        case SQL_WLONGVARCHAR: {
            c.column.field.type = QMetaType::QString;
            c.cType = SQL_C_WCHAR;
            // A character may take two UTF-16 units; one more for the end.
            const SQLLEN units = size > 0 && size <= 4000 ? SQLLEN(size) * 2 + 1 : kFirstTextUnits;
            c.width = units * SQLLEN(sizeof(SQLWCHAR));
            break;
        }
        default:
            return false; // exact decimals, times, bytes: as the Qt driver reads them
        }
    }
    p.described = true;
    return true;
}

void OdbcReader::bindColumns(Prepared& p)
{
    SQLFreeStmt(p.st, SQL_UNBIND);
    for (size_t i = 0; i < p.cols.size(); ++i) {
        Prepared::Col& c = p.cols[i];
        c.data.assign(size_t(c.width) * kRowsPerFetch, 0);
        c.ind.assign(kRowsPerFetch, 0);
        SQLBindCol(p.st, SQLUSMALLINT(i + 1), c.cType, c.data.data(), c.width, c.ind.data());
    }
}

OdbcReader::Outcome OdbcReader::fetch(Prepared& p, QVector<QVariant>& rows, QString& message,
                                      bool& truncated)
{
    bool unreadable = false;
    for (;;) {
        p.fetched = 0;
        const SQLRETURN r = SQLFetchScroll(p.st, SQL_FETCH_NEXT, 0);
        if (r == SQL_NO_DATA) return unreadable ? Outcome::NotHandled : Outcome::Read;
        if (!SQL_SUCCEEDED(r)) {
            message = diagnostics(SQL_HANDLE_STMT, p.st);
            return Outcome::Failed;
        }
        for (SQLULEN row = 0; row < p.fetched; ++row) {
            for (Prepared::Col& c : p.cols) {
                const SQLLEN ind = c.ind[row];
                if (ind == SQL_NULL_DATA) {
                    // As the Qt driver gives them: an empty text is no value
                    // at all, other empty cells keep their kind.
                    rows.push_back(c.cType == SQL_C_WCHAR
                                       ? QVariant()
                                       : QVariant(QMetaType(c.column.field.type)));
                    continue;
                }
                const char* at = c.data.data() + row * SQLULEN(c.width);
                switch (c.cType) {
                case SQL_C_WCHAR:
                    if (ind == SQL_NO_TOTAL || ind > c.width - SQLLEN(sizeof(SQLWCHAR))) {
                        truncated = true;
                        c.needed = ind == SQL_NO_TOTAL ? -1 : std::max(c.needed, ind);
                        rows.push_back({});
                    } else {
                        rows.push_back(QString(reinterpret_cast<const QChar*>(at),
                                               qsizetype(ind / SQLLEN(sizeof(SQLWCHAR)))));
                    }
                    break;
                case SQL_C_CHAR: {
                    double v = 0;
                    const char* end = at + std::min<SQLLEN>(ind, c.width - 1);
                    if (ind >= c.width || std::from_chars(at, end, v).ptr != end) {
                        unreadable = true; // no number as this reader reads them
                        rows.push_back({});
                    } else {
                        rows.push_back(v);
                    }
                    break;
                }
                case SQL_C_SBIGINT: {
                    SQLBIGINT v;
                    std::memcpy(&v, at, sizeof v);
                    rows.push_back(qlonglong(v));
                    break;
                }
                case SQL_C_SLONG: {
                    SQLINTEGER v;
                    std::memcpy(&v, at, sizeof v);
                    rows.push_back(int(v));
                    break;
                }
                case SQL_C_DOUBLE: {
                    double v;
                    std::memcpy(&v, at, sizeof v);
                    rows.push_back(v);
                    break;
                }
                case SQL_C_TYPE_TIMESTAMP: {
                    SQL_TIMESTAMP_STRUCT ts;
                    std::memcpy(&ts, at, sizeof ts);
                    rows.push_back(QDateTime(
                        QDate(ts.year, ts.month, ts.day),
                        QTime(ts.hour, ts.minute, ts.second, int(ts.fraction / 1000000))));
                    break;
                }
                case SQL_C_TYPE_DATE: {
                    SQL_DATE_STRUCT d;
                    std::memcpy(&d, at, sizeof d);
                    rows.push_back(QDate(d.year, d.month, d.day));
                    break;
                }
                default:
                    rows.push_back({});
                }
            }
        }
    }
}

OdbcReader::Outcome OdbcReader::run(Prepared& p, std::vector<Param>& values,
                                    QVector<QVariant>& rows, QString& message)
{
    if (p.unsupported) return Outcome::NotHandled;
    SQLFreeStmt(p.st, SQL_CLOSE);
    for (size_t i = 0; i < values.size(); ++i) {
        Param& v = values[i];
        SQLBindParameter(p.st, SQLUSMALLINT(i + 1), SQL_PARAM_INPUT, v.cType, v.sqlType, v.size, 0,
                         v.data.data(), SQLLEN(v.data.size()), &v.ind);
    }
    // A text longer than its place makes the statement run again with room
    // for it, a few times at most.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const SQLRETURN r = SQLExecute(p.st);
        if (!SQL_SUCCEEDED(r) && r != SQL_NO_DATA) {
            message = diagnostics(SQL_HANDLE_STMT, p.st);
            return Outcome::Failed;
        }
        if (!p.described) {
            if (!describe(p)) {
                SQLFreeStmt(p.st, SQL_CLOSE);
                p.unsupported = true;
                return Outcome::NotHandled;
            }
            bindColumns(p);
        }
        rows.clear();
        SQLLEN count = -1;
        if (SQL_SUCCEEDED(SQLRowCount(p.st, &count)) && count > 0 && count < (1 << 24))
            rows.reserve(qsizetype(count) * qsizetype(p.cols.size()));
        bool truncated = false;
        const Outcome o = fetch(p, rows, message, truncated);
        SQLFreeStmt(p.st, SQL_CLOSE);
        if (o == Outcome::NotHandled) {
            p.unsupported = true;
            return o;
        }
        if (o != Outcome::Read) return o;
        if (!truncated) return Outcome::Read;
        for (Prepared::Col& c : p.cols) {
            if (c.needed < 0) return Outcome::NotHandled; // the driver does not tell how long
            if (c.needed == 0) continue;
            const SQLLEN units = c.needed / SQLLEN(sizeof(SQLWCHAR)) + 1;
            if (units > kMostTextUnits) return Outcome::NotHandled;
            c.width =
                std::max(units, c.width / SQLLEN(sizeof(SQLWCHAR)) * 2) * SQLLEN(sizeof(SQLWCHAR));
            c.needed = 0;
        }
        bindColumns(p);
    }
    rows.clear();
    return Outcome::NotHandled;
}

namespace
{

// Statements whose rows PostgreSQL can give as one record text each, read
// back into the same values: a plain SELECT of whole numbers, numbers with
// decimals and texts.
bool packable(const QString& translated, const QStringList& typeNames)
{
    static const QStringList kinds{QStringLiteral("int2"),    QStringLiteral("int4"),
                                   QStringLiteral("int8"),    QStringLiteral("float4"),
                                   QStringLiteral("float8"),  QStringLiteral("text"),
                                   QStringLiteral("varchar"), QStringLiteral("bpchar")};
    if (typeNames.size() < 2 || translated.contains(u';') ||
        !translated.trimmed().startsWith(QLatin1String("SELECT "), Qt::CaseInsensitive))
        return false;
    for (const QString& t : typeNames)
        if (!kinds.contains(t)) return false;
    return true;
}

bool readRecords(const QVector<OdbcReader::Column>& columns, const QVector<QVariant>& records,
                 QVector<QVariant>& rows)
{
    rows.clear();
    rows.reserve(records.size() * columns.size());
    QList<RecordText::Field> fields;
    for (const QVariant& record : records) {
        const QString line = record.toString();
        if (!RecordText::split(line, fields) || fields.size() != columns.size()) return false;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QMetaType::Type type = columns.at(c).field.type;
            const RecordText::Field& f = fields.at(c);
            if (type == QMetaType::QString) {
                rows.push_back(f.null ? QVariant() : QVariant(RecordText::value(f)));
                continue;
            }
            if (f.null) {
                rows.push_back(QVariant(QMetaType(type)));
                continue;
            }
            char text[kNumberChars];
            if (f.escaped || f.written.size() >= kNumberChars) return false;
            qsizetype n = 0;
            for (QChar ch : f.written) {
                if (ch.unicode() > 127) return false;
                text[n++] = char(ch.unicode());
            }
            if (type == QMetaType::Double) {
                double v = 0;
                if (std::from_chars(text, text + n, v).ptr != text + n) return false;
                rows.push_back(v);
            } else {
                qlonglong v = 0;
                if (std::from_chars(text, text + n, v).ptr != text + n) return false;
                if (type == QMetaType::Int)
                    rows.push_back(int(v));
                else
                    rows.push_back(v);
            }
        }
    }
    return true;
}

} // namespace

OdbcReader::Outcome OdbcReader::read(const QString& sql, const QVariantList& params,
                                     QVector<Column>& columns, QVector<QVariant>& rows,
                                     QString& message)
{
    std::vector<Param> values(size_t(params.size()));
    for (qsizetype i = 0; i < params.size(); ++i)
        if (!makeParam(params.at(i), values[size_t(i)])) return Outcome::NotHandled;
    Prepared* p = statement(sql, message);
    if (!p) return Outcome::Failed;
    // On PostgreSQL a row of many cells comes as one record text: one value
    // through the driver instead of one for every cell.
    if (p->packed && !p->packed->unsupported) {
        QVector<QVariant> records;
        const Outcome o = run(*p->packed, values, records, message);
        if (o == Outcome::Failed) {
            drop(sql); // prepared afresh next time
            return o;
        }
        if (o == Outcome::Read && readRecords(p->unpackTo, records, rows)) {
            columns = p->unpackTo;
            return Outcome::Read;
        }
        p->packed->unsupported = true; // read as it is from now on
    }
    const Outcome o = run(*p, values, rows, message);
    if (o == Outcome::Failed) drop(sql);
    if (o != Outcome::Read) return o;
    columns.clear();
    QStringList typeNames;
    for (const Prepared::Col& c : p->cols) {
        columns << c.column;
        typeNames << c.typeName;
    }
    if (!p->packTried && m_dialect.kind() == SqlDialect::Kind::PostgreSQL) {
        p->packTried = true;
        const QString translated = m_dialect.translate(sql);
        QString ignored;
        if (packable(translated, typeNames)) {
            p->packed =
                prepare(QStringLiteral("SELECT t::text FROM (%1) t").arg(translated), ignored);
            p->unpackTo = columns;
        }
    }
    return Outcome::Read;
}
