#include "SelectionFormula.h"

#include "DateText.h"
#include "ReportDefinition.h"
#include "ServiceError.h"
#include "SqlDialect.h"

#include <QDateTime>
#include <QLocale>
#include <QStringList>

namespace
{

// A small recursive-descent reader over the formula text.
class Reader
{
public:
    explicit Reader(const QString& s) : m_s(s) {}

    [[noreturn]] void fail(const QString& what) const
    {
        throw ServiceError(
            ServiceError::InvalidCall,
            QStringLiteral("La fórmula de selección no es válida (posición %1): %2\n%3")
                .arg(m_pos + 1)
                .arg(what, m_s),
            QStringLiteral("Reporte"));
    }

    void skipBlanks()
    {
        while (m_pos < m_s.size() && m_s.at(m_pos).isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipBlanks();
        return m_pos >= m_s.size();
    }
    bool take(QChar c)
    {
        skipBlanks();
        if (m_pos < m_s.size() && m_s.at(m_pos) == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    void expect(QChar c)
    {
        if (!take(c)) fail(QStringLiteral("se esperaba \"%1\".").arg(c));
    }
    // A word of letters, digits and underscores.
    QString word()
    {
        skipBlanks();
        const int start = m_pos;
        while (m_pos < m_s.size() && (m_s.at(m_pos).isLetterOrNumber() || m_s.at(m_pos) == u'_'))
            ++m_pos;
        return m_s.mid(start, m_pos - start);
    }
    bool takeKeyword(const QString& kw)
    {
        skipBlanks();
        const int save = m_pos;
        const QString w = word();
        if (w.compare(kw, Qt::CaseInsensitive) == 0) return true;
        m_pos = save;
        return false;
    }
    int integer()
    {
        skipBlanks();
        const int start = m_pos;
        if (m_pos < m_s.size() && (m_s.at(m_pos) == u'-' || m_s.at(m_pos) == u'+')) ++m_pos;
        while (m_pos < m_s.size() && m_s.at(m_pos).isDigit())
            ++m_pos;
        bool ok = false;
        const int v = m_s.mid(start, m_pos - start).toInt(&ok);
        if (!ok) {
            m_pos = start;
            fail(QStringLiteral("se esperaba un número entero."));
        }
        return v;
    }

    SelectionFormula::Condition comparison()
    {
        SelectionFormula::Condition c;
        expect(u'{');
        const QString first = word();
        if (first.isEmpty()) fail(QStringLiteral("se esperaba el nombre de un campo."));
        if (take(u'.')) {
            c.table = first;
            c.field = word();
            if (c.field.isEmpty()) fail(QStringLiteral("se esperaba el nombre de un campo."));
        } else {
            c.field = first;
        }
        expect(u'}');
        c.op = op();
        c.value = value();
        return c;
    }

    SelectionFormula::Op op()
    {
        using Op = SelectionFormula::Op;
        skipBlanks();
        const QString two = m_s.mid(m_pos, 2);
        if (two == QLatin1String(">=")) return m_pos += 2, Op::Ge;
        if (two == QLatin1String("<=")) return m_pos += 2, Op::Le;
        if (two == QLatin1String("<>")) return m_pos += 2, Op::Ne;
        if (take(u'=')) return Op::Eq;
        if (take(u'<')) return Op::Lt;
        if (take(u'>')) return Op::Gt;
        fail(QStringLiteral("se esperaba una comparación (=, <>, <, <=, >, >=)."));
    }

    QVariant value()
    {
        skipBlanks();
        if (m_pos >= m_s.size()) fail(QStringLiteral("falta el valor de la comparación."));
        const QChar c = m_s.at(m_pos);
        if (c == u'\'' || c == u'"') return quoted(c);
        if (c.isDigit() || c == u'-' || c == u'+' || c == u'.') return number();
        const int start = m_pos;
        if (takeKeyword(QStringLiteral("Date"))) {
            expect(u'(');
            const int y = integer();
            expect(u',');
            const int m = integer();
            expect(u',');
            const int d = integer();
            expect(u')');
            const QDate date(y, m, d);
            if (!date.isValid() || y < 1753) {
                m_pos = start;
                fail(QStringLiteral("Date(%1,%2,%3) no es una fecha.").arg(y).arg(m).arg(d));
            }
            return date;
        }
        fail(QStringLiteral("se esperaba Date(año,mes,día), un número o un texto entre comillas."));
    }

    QVariant quoted(QChar q)
    {
        ++m_pos;
        QString out;
        while (m_pos < m_s.size()) {
            const QChar c = m_s.at(m_pos++);
            if (c == q) {
                if (m_pos < m_s.size() && m_s.at(m_pos) == q) {
                    out += q;
                    ++m_pos;
                    continue;
                }
                return out;
            }
            out += c;
        }
        fail(QStringLiteral("falta la comilla de cierre."));
    }

    QVariant number()
    {
        const int start = m_pos;
        if (m_s.at(m_pos) == u'-' || m_s.at(m_pos) == u'+') ++m_pos;
        while (m_pos < m_s.size() && (m_s.at(m_pos).isDigit() || m_s.at(m_pos) == u'.'))
            ++m_pos;
        bool ok = false;
        const double v = m_s.mid(start, m_pos - start).toDouble(&ok);
        if (!ok) {
            m_pos = start;
            fail(QStringLiteral("número inválido."));
        }
        return v;
    }

private:
    const QString& m_s;
    int m_pos = 0;
};

QString opText(SelectionFormula::Op op)
{
    using Op = SelectionFormula::Op;
    switch (op) {
    case Op::Eq:
        return QStringLiteral("=");
    case Op::Ne:
        return QStringLiteral("<>");
    case Op::Lt:
        return QStringLiteral("<");
    case Op::Le:
        return QStringLiteral("<=");
    case Op::Gt:
        return QStringLiteral(">");
    case Op::Ge:
        return QStringLiteral(">=");
    }
    return {};
}

} // namespace

SelectionFormula SelectionFormula::parse(const QString& formula)
{
    SelectionFormula f;
    Reader r(formula);
    if (r.atEnd()) return f;
    while (true) {
        f.m_conditions.push_back(r.comparison());
        if (r.atEnd()) break;
        if (!r.takeKeyword(QStringLiteral("AND"))) {
            if (r.takeKeyword(QStringLiteral("OR")))
                r.fail(QStringLiteral("sólo se admiten comparaciones unidas por AND."));
            r.fail(QStringLiteral("se esperaba AND o el fin de la fórmula."));
        }
    }
    return f;
}

SelectionFormula::Where SelectionFormula::toWhere(const ReportDefinition& def,
                                                  const SqlDialect& dialect) const
{
    Where w;
    QStringList parts;
    for (const Condition& c : m_conditions) {
        if (!c.table.isEmpty() && c.table.compare(def.formulaTable, Qt::CaseInsensitive) != 0 &&
            c.table.compare(def.source, Qt::CaseInsensitive) != 0)
            throw ServiceError(ServiceError::InvalidCall,
                               QStringLiteral("La fórmula de selección nombra la tabla %1; el "
                                              "reporte «%2» lee %3.")
                                   .arg(c.table, def.caption, def.formulaTable),
                               QStringLiteral("Reporte"));
        const QString field = def.knownField(c.field);
        if (field.isEmpty())
            throw ServiceError(ServiceError::InvalidCall,
                               QStringLiteral("La fórmula de selección nombra el campo %1, que el "
                                              "reporte «%2» no tiene.")
                                   .arg(c.field, def.caption),
                               QStringLiteral("Reporte"));
        const QString col = dialect.quoteIdentifier(field);
        if (c.value.metaType().id() == QMetaType::QDate) {
            // A date stands for the whole day: [start of day, start of next day).
            const QDate d = c.value.toDate();
            const QVariant from = QDateTime(d, QTime(0, 0));
            const QVariant next = QDateTime(d.addDays(1), QTime(0, 0));
            switch (c.op) {
            case Op::Eq:
                parts << QStringLiteral("(%1 >= ? AND %1 < ?)").arg(col);
                w.params << from << next;
                break;
            case Op::Ne:
                parts << QStringLiteral("(%1 < ? OR %1 >= ?)").arg(col);
                w.params << from << next;
                break;
            case Op::Lt:
                parts << QStringLiteral("%1 < ?").arg(col);
                w.params << from;
                break;
            case Op::Le:
                parts << QStringLiteral("%1 < ?").arg(col);
                w.params << next;
                break;
            case Op::Gt:
                parts << QStringLiteral("%1 >= ?").arg(col);
                w.params << next;
                break;
            case Op::Ge:
                parts << QStringLiteral("%1 >= ?").arg(col);
                w.params << from;
                break;
            }
        } else {
            parts << QStringLiteral("%1 %2 ?").arg(col, opText(c.op));
            w.params << c.value;
        }
    }
    w.sql = parts.join(QStringLiteral(" AND "));
    return w;
}

QString SelectionFormula::describe(const ReportDefinition& def) const
{
    // Dates read as a range: "desde el X hasta el Y", "del X".
    QStringList words;
    for (const Condition& c : m_conditions) {
        if (c.value.metaType().id() == QMetaType::QDate) {
            const QString d = DateText::format(c.value.toDate());
            switch (c.op) {
            case Op::Eq:
                words << QStringLiteral("del día %1").arg(d);
                break;
            case Op::Ne:
                words << QStringLiteral("salvo el día %1").arg(d);
                break;
            case Op::Lt:
                words << QStringLiteral("anteriores al %1").arg(d);
                break;
            case Op::Le:
                words << QStringLiteral("hasta el %1").arg(d);
                break;
            case Op::Gt:
                words << QStringLiteral("posteriores al %1").arg(d);
                break;
            case Op::Ge:
                words << QStringLiteral("desde el %1").arg(d);
                break;
            }
            continue;
        }
        const int i = def.columnIndex(c.field);
        QString name = i >= 0 ? def.columns.at(i).header : c.field;
        name.replace(u'\n', u' ');
        const QString v = c.value.metaType().id() == QMetaType::Double
                              ? QLocale().toString(c.value.toDouble(), 'g', 12)
                              : QStringLiteral("\"%1\"").arg(c.value.toString());
        words << QStringLiteral("%1 %2 %3").arg(name, opText(c.op), v);
    }
    return words.join(u' ');
}
