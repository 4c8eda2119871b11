#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// A report definition: the source view, its columns with headers and formats,
// the grouping, the totals and the page. Read from a small JSON file shipped
// in the program's reports folder ("Rp_molvera.json").
class ReportDefinition
{
public:
    enum class Format { Text, Date, DateTime, Number };
    enum class Align { Left, Right, Center };

    struct Column {
        QString field;  // column of the source view
        QString header; // may hold a line break for a two-line header
        Format format = Format::Text;
        int decimals = 0; // for numbers
        double width = 1; // relative width
        Align align = Align::Left;
        bool sum = false; // totalled per group and overall
    };

    QString name;    // the definition's own name ("Rp_molvera")
    QString caption; // the report as the operator knows it; the name when not given
    QString title; // may hold {formula} placeholders, e.g. {empresa}
    QString subtitle;
    QString source;       // the view the rows come from
    QString formulaTable; // the table name used in selection formulas
    QStringList order;
    QVector<Column> columns;
    QString groupField; // empty: no grouping; grouped by day, or by name
    // Grouped by name: texts that differ only in case, accents, commas or
    // blanks are one group, printed under their most used spelling (ties: the
    // first one read); the groups in the order of their names.
    bool groupByName = false;
    // Columns whose value is the group's (the first one of its rows that has
    // one), such as a seller's tax number beside its name.
    QStringList groupCarry;
    QString groupFooter; // {value} and {count} placeholders
    QString grandTotal;  // {count}
    // Loads whose value of this column is still empty are said after each
    // total, in this text ({count}): a sum they are missing from is not
    // taken for a whole one (the seller's net kilograms).
    QString missingField;
    QString missingText;
    QString unitOne; // {count} reads "1 <unitOne>", "2 <unitMany>"
    QString unitMany;
    QString emptyText;
    QString selectionAll;
    QString footer; // {report}: the caption
    bool landscape = true;
    double marginMm = 10;
    double fontPt = 8;

    // Reads and checks a definition file. Raises ServiceError naming the
    // file: NotFound when it does not exist, InvalidCall when it is broken.
    static ReportDefinition load(const QString& path);
    // Parses definition text; the path only names the file in messages.
    static ReportDefinition parse(const QByteArray& text, const QString& path);

    // The column of that field (case-insensitive), or -1.
    int columnIndex(const QString& field) const;
    // The field's spelling in the definition, case-insensitive; empty when
    // the field is neither a column nor the group field.
    QString knownField(const QString& field) const;
    bool isDateField(const QString& field) const;
    // A number of rows in words, "1 carga", "12 cargas".
    QString countText(int n) const;
};
