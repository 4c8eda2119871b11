// The report's selection formula: any text is parsed; a formula that parses
// is turned into the WHERE clause for the reception report's definition and
// described in the operator's words. The values must come out as bound
// parameters, one per placeholder, never inside the statement text. The
// formula assignments handed with the report are split as well.
#include "FormulaAssignments.h"
#include "ReportDefinition.h"
#include "SelectionFormula.h"
#include "ServiceError.h"
#include "SqlDialect.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{

void check(bool ok)
{
    if (!ok) std::abort();
}

const ReportDefinition& definition()
{
    static const ReportDefinition def =
        ReportDefinition::load(QStringLiteral(MOLVERA_ROOT "/reports/Rp_molvera.json"));
    return def;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const SelectionFormula f = SelectionFormula::parse(text);
        f.describe(definition());
        for (auto kind : {SqlDialect::Kind::SQLite, SqlDialect::Kind::PostgreSQL,
                          SqlDialect::Kind::SqlServer}) {
            try {
                const SelectionFormula::Where w = f.toWhere(definition(), SqlDialect(kind));
                check(w.sql.count(u'?') == w.params.size());
                check(!w.sql.contains(u'\''));
            } catch (const ServiceError& e) {
                check(e.number() == ServiceError::InvalidCall);
            }
        }
    } catch (const ServiceError& e) {
        check(e.number() == ServiceError::InvalidCall);
    }
    QString name, value;
    if (FormulaAssignments::split(text, name, value)) {
        const FormulaAssignments a(QStringList{text});
        a.expand(QStringLiteral("{") + name.trimmed() + QStringLiteral("}"));
    }
    return 0;
}
