#pragma once

#include <QString>
#include <QStringList>

class DataService;

// The schema version of a Molvera database and its upgrade. Every database
// made by this program holds its version in mv_molvera_version; one made
// before that table is version 1 without the change history and version 2
// with it. Versions:
//   1  the sheet and the kept silo totals in kilograms
//   2  + the change history (table, triggers, mv_molvera.modificado_por),
//        the silo quality sums and the seeded acceptance limits
//   3  silo totals and quality sums kept in grams; the version table
//   4  + the weighings taken from the truck scale (mv_molvera_pesada)
//   5  weighings and analyzer readings (mv_molvera_lectura) only ever added,
//        each with its operator; a deleted load's history names them
//   6  + the settlement: the plant's rules (ta_liquidacion, ta_merma_tabla,
//        ta_grado), the sellers (ta_vendedor) and, kept in each row and its
//        history, the shrink, net kilograms, grade and the rules' version
//
// upgrade() brings an older database up to date in one transaction, keeping
// every row: it runs the sections of the program's own schema script that
// the later versions brought (marked "-- @section NAME" in db/*.sql), after
// dropping what they replace, and counts the kept sums again from the rows.
// A database newer than the program is refused with a message and left as it
// is. Embedded and PostgreSQL databases are upgraded; on SQL Server an older
// schema is refused with a message.
class SchemaUpgrade
{
public:
    static constexpr int kCurrent = 6;

    explicit SchemaUpgrade(DataService& data);

    // The version of the open database (0 when it holds no Molvera tables).
    int version();
    // Throws ServiceError, without writing anything, when the database is
    // newer than this program.
    void refuseNewer();
    // Brings the database up to kCurrent; answers the version it had. Throws
    // ServiceError (everything rolled back) when a statement is refused.
    int upgrade();

    // The text of one "-- @section NAME" part of a schema script, up to the
    // next section mark (empty when there is no such section).
    static QString section(const QString& script, const QString& name);
    // Statements that drop what a section creates (triggers, functions,
    // views, tables; IF EXISTS), in that order, in the database's form.
    static QStringList dropsFor(const QString& section, bool postgres);

private:
    void addSettlementColumns();
    bool tableExists(const QString& table);
    void run(const QString& sql);
    void runSection(const QString& script, const QString& name, bool replace);
    void begin();
    void commit();
    void rollback();

    DataService& m_data;
};
