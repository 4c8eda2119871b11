#include "ReportDefinition.h"

#include "ServiceError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

namespace
{

[[noreturn]] void broken(const QString& path, const QString& why)
{
    throw ServiceError(ServiceError::InvalidCall,
                       QStringLiteral("La definición del reporte \"%1\" no es válida: %2")
                           .arg(QDir::toNativeSeparators(path), why),
                       QStringLiteral("Reporte"));
}

// Names that reach statements must be plain identifiers.
bool plainName(const QString& s)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(s).hasMatch();
}

QString requiredName(const QJsonObject& o, const char* key, const QString& path)
{
    const QString v = o.value(QLatin1String(key)).toString().trimmed();
    if (v.isEmpty()) broken(path, QStringLiteral("falta \"%1\".").arg(QLatin1String(key)));
    if (!plainName(v))
        broken(
            path,
            QStringLiteral("\"%1\" no es un nombre válido en \"%2\".").arg(v, QLatin1String(key)));
    return v;
}

ReportDefinition::Column readColumn(const QJsonValue& v, int n, const QString& path)
{
    if (!v.isObject()) broken(path, QStringLiteral("la columna %1 no es un objeto.").arg(n));
    const QJsonObject o = v.toObject();
    ReportDefinition::Column c;
    c.field = requiredName(o, "field", path);
    c.header = o.value(QLatin1String("header")).toString(c.field);
    const QString fmt = o.value(QLatin1String("format")).toString(QStringLiteral("text")).trimmed();
    if (fmt == QLatin1String("text")) {
        c.format = ReportDefinition::Format::Text;
    } else if (fmt == QLatin1String("date")) {
        c.format = ReportDefinition::Format::Date;
    } else if (fmt == QLatin1String("datetime")) {
        c.format = ReportDefinition::Format::DateTime;
    } else if (fmt.startsWith(QLatin1String("number"))) {
        c.format = ReportDefinition::Format::Number;
        const QString rest = fmt.mid(6);
        if (!rest.isEmpty()) {
            bool ok = false;
            const int d = rest.startsWith(u':') ? rest.mid(1).toInt(&ok) : -1;
            if (!ok || d < 0 || d > 6)
                broken(path, QStringLiteral("formato \"%1\" de la columna %2.").arg(fmt, c.field));
            c.decimals = d;
        }
    } else {
        broken(path,
               QStringLiteral("formato \"%1\" desconocido en la columna %2.").arg(fmt, c.field));
    }
    const QJsonValue w = o.value(QLatin1String("width"));
    if (!w.isUndefined()) {
        if (!w.isDouble() || w.toDouble() <= 0 || w.toDouble() > 1000)
            broken(path, QStringLiteral("ancho inválido en la columna %1.").arg(c.field));
        c.width = w.toDouble();
    }
    const QString al = o.value(QLatin1String("align")).toString(QStringLiteral("left"));
    if (al == QLatin1String("left")) {
        c.align = ReportDefinition::Align::Left;
    } else if (al == QLatin1String("right")) {
        c.align = ReportDefinition::Align::Right;
    } else if (al == QLatin1String("center")) {
        c.align = ReportDefinition::Align::Center;
    } else {
        broken(path, QStringLiteral("alineación \"%1\" en la columna %2.").arg(al, c.field));
    }
    const QString total = o.value(QLatin1String("total")).toString();
    if (!total.isEmpty() && total != QLatin1String("sum"))
        broken(path, QStringLiteral("total \"%1\" en la columna %2.").arg(total, c.field));
    c.sum = total == QLatin1String("sum");
    if (c.sum && c.format != ReportDefinition::Format::Number)
        broken(path, QStringLiteral("sólo se suman columnas numéricas (%1).").arg(c.field));
    return c;
}

} // namespace

ReportDefinition ReportDefinition::load(const QString& path)
{
    QFile f(path);
    if (!QFileInfo(path).isFile())
        throw ServiceError(ServiceError::NotFound,
                           QStringLiteral("No se encuentra la definición del reporte \"%1\".")
                               .arg(QDir::toNativeSeparators(path)),
                           QStringLiteral("Reporte"));
    if (!f.open(QIODevice::ReadOnly))
        throw ServiceError(ServiceError::NotFound,
                           QStringLiteral("No se puede leer la definición del reporte \"%1\": %2")
                               .arg(QDir::toNativeSeparators(path), f.errorString()),
                           QStringLiteral("Reporte"));
    return parse(f.readAll(), path);
}

ReportDefinition ReportDefinition::parse(const QByteArray& text, const QString& path)
{
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &err);
    if (err.error != QJsonParseError::NoError) {
        const int line = int(text.left(err.offset).count('\n')) + 1;
        broken(path, QStringLiteral("%1 (línea %2).").arg(err.errorString()).arg(line));
    }
    if (!doc.isObject()) broken(path, QStringLiteral("se esperaba un objeto."));
    const QJsonObject o = doc.object();

    ReportDefinition d;
    d.name = o.value(QLatin1String("report")).toString(QFileInfo(path).completeBaseName());
    d.caption = o.value(QLatin1String("caption")).toString().trimmed();
    if (d.caption.isEmpty()) d.caption = d.name;
    d.title = o.value(QLatin1String("title")).toString();
    d.subtitle = o.value(QLatin1String("subtitle")).toString();
    d.source = requiredName(o, "source", path);
    d.formulaTable = o.value(QLatin1String("formulaTable")).toString(d.source).trimmed();
    const QJsonValue cols = o.value(QLatin1String("columns"));
    if (!cols.isArray() || cols.toArray().isEmpty())
        broken(path, QStringLiteral("falta la lista \"columns\"."));
    int n = 0;
    for (const QJsonValue& v : cols.toArray()) {
        Column c = readColumn(v, ++n, path);
        if (d.columnIndex(c.field) >= 0)
            broken(path, QStringLiteral("la columna %1 está repetida.").arg(c.field));
        d.columns.push_back(c);
    }
    for (const QJsonValue& v : o.value(QLatin1String("order")).toArray()) {
        const QString s = v.toString().trimmed();
        if (!plainName(s))
            broken(path, QStringLiteral("\"%1\" no es un nombre válido en \"order\".").arg(s));
        d.order << s;
    }
    const QJsonValue g = o.value(QLatin1String("group"));
    if (g.isObject()) {
        const QJsonObject go = g.toObject();
        d.groupField = requiredName(go, "field", path);
        const QString by = go.value(QLatin1String("by")).toString(QStringLiteral("day"));
        if (by != QLatin1String("day") && by != QLatin1String("name"))
            broken(path, QStringLiteral("agrupación \"%1\" desconocida.").arg(by));
        d.groupByName = by == QLatin1String("name");
        if (d.groupByName ? d.columnIndex(d.groupField) < 0 : !d.isDateField(d.groupField))
            broken(path,
                   d.groupByName
                       ? QStringLiteral("el grupo debe ser una columna (%1).").arg(d.groupField)
                       : QStringLiteral("el grupo debe ser una columna de fecha (%1).")
                             .arg(d.groupField));
        for (const QJsonValue& v : go.value(QLatin1String("carry")).toArray()) {
            if (d.columnIndex(v.toString()) < 0)
                broken(path, QStringLiteral("\"carry\" nombra %1, que no es una columna.")
                                 .arg(v.toString()));
            d.groupCarry << v.toString();
        }
        d.groupFooter = go.value(QLatin1String("footer")).toString(QStringLiteral("Total {value}"));
    } else if (!g.isUndefined()) {
        broken(path, QStringLiteral("\"group\" debe ser un objeto."));
    }
    d.grandTotal = o.value(QLatin1String("grandTotal")).toString(QStringLiteral("Total general"));
    const QJsonObject missing = o.value(QLatin1String("missing")).toObject();
    d.missingField = missing.value(QLatin1String("field")).toString();
    d.missingText = missing.value(QLatin1String("text")).toString();
    if (!d.missingField.isEmpty() && d.columnIndex(d.missingField) < 0)
        broken(path,
               QStringLiteral("\"missing\" nombra %1, que no es una columna.").arg(d.missingField));
    const QJsonObject units = o.value(QLatin1String("units")).toObject();
    d.unitOne = units.value(QLatin1String("one")).toString();
    d.unitMany = units.value(QLatin1String("many")).toString(d.unitOne);
    d.emptyText = o.value(QLatin1String("empty")).toString(QStringLiteral("Sin datos."));
    d.selectionAll = o.value(QLatin1String("selectionAll")).toString();
    d.footer = o.value(QLatin1String("footer")).toString(QStringLiteral("{report}"));
    const QJsonObject page = o.value(QLatin1String("page")).toObject();
    d.landscape = page.value(QLatin1String("orientation")).toString(QStringLiteral("landscape")) !=
                  QLatin1String("portrait");
    d.marginMm = page.value(QLatin1String("marginMm")).toDouble(10);
    d.fontPt = page.value(QLatin1String("fontPt")).toDouble(8);
    if (d.marginMm < 0 || d.marginMm > 50)
        broken(path, QStringLiteral("margen de página inválido."));
    if (d.fontPt < 4 || d.fontPt > 24) broken(path, QStringLiteral("tamaño de letra inválido."));
    return d;
}

int ReportDefinition::columnIndex(const QString& field) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns.at(i).field.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

QString ReportDefinition::knownField(const QString& field) const
{
    const int i = columnIndex(field);
    if (i >= 0) return columns.at(i).field;
    if (!groupField.isEmpty() && groupField.compare(field, Qt::CaseInsensitive) == 0)
        return groupField;
    return {};
}

bool ReportDefinition::isDateField(const QString& field) const
{
    const int i = columnIndex(field);
    return i >= 0 &&
           (columns.at(i).format == Format::Date || columns.at(i).format == Format::DateTime);
}

QString ReportDefinition::countText(int n) const
{
    const QString unit = n == 1 ? unitOne : unitMany;
    // With the locale's thousands separator: "3.000 cargas".
    const QString number = QLocale().toString(n);
    return unit.isEmpty() ? number : number + u' ' + unit;
}
