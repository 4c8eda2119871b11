#include "SqliteReader.h"

#include "TextFold.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVarLengthArray>
#include <algorithm>
#include <sqlite3.h>

namespace
{

// The field type the Qt driver gives a declared column type.
QMetaType::Type declaredType(const char* decl)
{
    const QByteArray t = QByteArray(decl).toLower();
    if (t == "integer" || t == "int") return QMetaType::Int;
    if (t == "double" || t == "float" || t == "real" || t.startsWith("numeric"))
        return QMetaType::Double;
    if (t == "blob") return QMetaType::QByteArray;
    if (t == "boolean" || t == "bool") return QMetaType::Bool;
    return QMetaType::QString;
}

// molvera_pliegue(x): the text of x folded as TextFold folds it (no case, no
// accents); NULL stays NULL.
void pliegue(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const QByteArray folded =
        TextFold::fold(QString::fromUtf8(t, sqlite3_value_bytes(argv[0]))).toUtf8();
    sqlite3_result_text(ctx, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// The field type of a column without a declared type (an expression), from
// the storage class of its first value.
QMetaType::Type storedType(int storage)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return QMetaType::Int;
    case SQLITE_FLOAT:
        return QMetaType::Double;
    case SQLITE_BLOB:
        return QMetaType::QByteArray;
    case SQLITE_TEXT:
        return QMetaType::QString;
    default:
        return QMetaType::UnknownType;
    }
}

int bind(sqlite3_stmt* st, int i, const QVariant& v)
{
    if (v.isNull()) return sqlite3_bind_null(st, i);
    switch (v.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
        return sqlite3_bind_int(st, i, v.toInt());
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, i, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        return sqlite3_bind_blob64(st, i, b.constData(), sqlite3_uint64(b.size()),
                                   SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray u = v.toString().toUtf8();
        return sqlite3_bind_text64(st, i, u.constData(), sqlite3_uint64(u.size()), SQLITE_TRANSIENT,
                                   SQLITE_UTF8);
    }
    }
}

// A value of the current row. The connection's lock is held by the caller,
// which makes the value handle safe to read.
QVariant valueOf(sqlite3_value* v, int storage)
{
    switch (storage) {
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB: {
        const void* p = sqlite3_value_blob(v);
        return QVariant(QByteArray(static_cast<const char*>(p), sqlite3_value_bytes(v)));
    }
    default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return QVariant(QString::fromUtf8(p, sqlite3_value_bytes(v)));
    }
    }
}

// Holds a connection's own lock for a scope (none on a connection without
// one). SQLite's locks may be taken again by the thread that holds them.
class HeldLock
{
public:
    explicit HeldLock(sqlite3* db) : m_lock(sqlite3_db_mutex(db)) { sqlite3_mutex_enter(m_lock); }
    ~HeldLock() { sqlite3_mutex_leave(m_lock); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    sqlite3_mutex* m_lock;
};

} // namespace

sqlite3* SqliteReader::handleOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver()) return nullptr;
    const QVariant h = db.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0) return nullptr;
    sqlite3* handle = *static_cast<sqlite3* const*>(h.constData());
    // The handle must belong to the SQLite this program is linked with: the
    // driver and the program then agree on the file they have open.
    if (!handle || !sqlite3_db_filename(handle, "main")) return nullptr;
    return handle;
}

SqliteReader::SqliteReader(sqlite3* db, const SqlDialect& dialect) : m_db(db), m_dialect(dialect)
{
    registerFunctions(db);
}

void SqliteReader::registerFunctions(sqlite3* db)
{
    sqlite3_create_function_v2(db, "molvera_pliegue", 1,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               pliegue, nullptr, nullptr, nullptr);
}

SqliteReader::~SqliteReader()
{
    clear();
}

void SqliteReader::clear()
{
    for (const Prepared& p : std::as_const(m_statements))
        sqlite3_finalize(p.st);
    m_statements.clear();
}

void SqliteReader::drop(const QString& sql)
{
    const auto it = m_statements.find(sql);
    if (it == m_statements.end()) return;
    sqlite3_finalize(it->st);
    m_statements.erase(it);
}

void SqliteReader::describe(Prepared& p) const
{
    const int n = sqlite3_column_count(p.st);
    p.reprepared = sqlite3_stmt_status(p.st, SQLITE_STMTSTATUS_REPREPARE, 0);
    p.fields.resize(n);
    p.undeclared.clear();
    for (int c = 0; c < n; ++c) {
        RecordSet::Field& f = p.fields[c];
        f.name = QString::fromUtf8(sqlite3_column_name(p.st, c)).remove(u'"');
        const char* decl = sqlite3_column_decltype(p.st, c);
        if (decl && *decl) {
            f.type = declaredType(decl);
        } else {
            f.type = QMetaType::UnknownType;
            p.undeclared << c;
        }
        f.definedSize = RecordSet::fixedSizeOf(f.type);
        f.declared = f.definedSize > 0;
    }
}

SqliteReader::Prepared* SqliteReader::statement(const QString& sql, Failure& failure)
{
    const auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        return &*it;
    }
    const QByteArray u = m_dialect.translate(sql).toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v3(m_db, u.constData(), int(u.size()), SQLITE_PREPARE_PERSISTENT,
                                      &st, &tail);
    // One statement at a time, as the driver has it: a second one after the
    // first is refused, not left out unseen.
    if (rc == SQLITE_OK && st && tail && !QByteArray(tail).trimmed().isEmpty()) {
        sqlite3_finalize(st);
        failure.code = SQLITE_MISUSE;
        failure.message = QStringLiteral("no se pueden ejecutar varias sentencias a la vez");
        return nullptr;
    }
    if (rc != SQLITE_OK || !st) {
        failure.code = rc == SQLITE_OK ? SQLITE_MISUSE : sqlite3_extended_errcode(m_db);
        failure.message = rc == SQLITE_OK ? QStringLiteral("no hay sentencia")
                                          : QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_finalize(st);
        return nullptr;
    }
    if (m_statements.size() > 200) clear();
    Prepared p;
    p.st = st;
    describe(p);
    return &*m_statements.insert(sql, std::move(p));
}

bool SqliteReader::read(const QString& sql, const QVariantList& params,
                        QVector<RecordSet::Field>& fields, QVector<QVariant>& rows,
                        Failure& failure)
{
    // The lock over the whole read: one taking instead of one for each value
    // read, and the values' handles are read under it.
    const HeldLock held(m_db);
    Prepared* p = statement(sql, failure);
    if (!p) return false;
    sqlite3_stmt* st = p->st;
    auto fail = [&](int rc) {
        failure.code = sqlite3_extended_errcode(m_db);
        if (failure.code == SQLITE_OK) failure.code = rc;
        failure.message = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_reset(st);
        drop(sql);
        rows.clear();
        return false;
    };
    const int expected = sqlite3_bind_parameter_count(st);
    if (params.size() != expected) {
        failure.code = SQLITE_RANGE;
        failure.message = QStringLiteral("la sentencia espera %1 valores y recibió %2")
                              .arg(expected)
                              .arg(params.size());
        return false;
    }
    for (int i = 0; i < params.size(); ++i)
        if (const int rc = bind(st, i + 1, params.at(i)); rc != SQLITE_OK) return fail(rc);

    // The first step prepares the statement again when the schema changed
    // since; only then are its columns known for sure.
    int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return fail(rc);
    if (sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0) != p->reprepared) describe(*p);
    fields = p->fields;
    const int n = fields.size();
    // Texts have no declared length here: the longest value read stands
    // for it (at least 1).
    QVarLengthArray<int, 32> longest(n);
    for (int c = 0; c < n; ++c)
        longest[c] = fields[c].definedSize > 0 ? -1 : 1;
    rows.clear();
    if (rc == SQLITE_ROW)
        for (int c : std::as_const(p->undeclared)) {
            fields[c].type = storedType(sqlite3_column_type(st, c));
            const int fixed = RecordSet::fixedSizeOf(fields[c].type);
            if (fixed > 0) {
                fields[c].definedSize = fixed;
                fields[c].declared = true;
                longest[c] = -1;
            }
        }
    // Room for as many rows as the statement gave last time.
    rows.reserve(qsizetype(p->lastRows) * n);
    // Texts are shared where they repeat down a column. Every 16th read looks
    // every column up again, in case its texts have come to repeat.
    if (p->unshared.size() != n || ++p->reads % 16 == 0) p->unshared.fill(false, n);
    QVarLengthArray<int, 32> looked(n), found(n);
    std::fill(looked.begin(), looked.end(), 0);
    std::fill(found.begin(), found.end(), 0);
    for (; rc == SQLITE_ROW; rc = sqlite3_step(st)) {
        for (int c = 0; c < n; ++c) {
            sqlite3_value* value = sqlite3_column_value(st, c);
            const int storage = sqlite3_value_type(value);
            if (storage == SQLITE_TEXT) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(value));
                const int bytes = sqlite3_value_bytes(value);
                QString s;
                if (p->unshared[c]) {
                    s = QString::fromUtf8(t, bytes);
                } else {
                    bool kept = false;
                    s = m_texts.text(t, bytes, kept);
                    ++looked[c];
                    found[c] += kept;
                }
                if (longest[c] >= 0 && s.size() > longest[c]) longest[c] = int(s.size());
                rows.emplace_back(std::move(s));
                continue;
            }
            const QVariant& v = rows.emplace_back(valueOf(value, storage));
            if (longest[c] >= 0 && storage != SQLITE_NULL)
                longest[c] = std::max(longest[c], int(v.toString().size()));
        }
    }
    if (rc != SQLITE_DONE) return fail(rc);
    p->lastRows = n > 0 ? int(rows.size() / n) : 0;
    for (int c = 0; c < n; ++c)
        if (looked[c] >= 256 && found[c] * 4 < looked[c]) p->unshared[c] = true;
    for (int c = 0; c < n; ++c)
        if (longest[c] >= 0) fields[c].definedSize = longest[c];
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    return true;
}
