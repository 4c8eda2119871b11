#include "SheetExport.h"

#include "CsvText.h"
#include "DateText.h"
#include "Dialogs.h"
#include "FlexGrid.h"
#include "TextBox.h"
#include "frmTrigo.h"

#include <QLocale>

QChar SheetExport::separator()
{
    return QLocale().decimalPoint() == QStringLiteral(",") ? u';' : u',';
}

QString SheetExport::field(const QString& text, QChar sep)
{
    return CsvText::field(text, sep);
}

QString SheetExport::csv(const FlexGrid& g, QChar sep)
{
    QString out;
    auto linea = [&](const QStringList& campos) {
        QStringList q;
        for (const QString& c : campos)
            q << field(c, sep);
        out += q.join(sep) + QStringLiteral("\r\n");
    };
    // Column 0 (the row's identifier) is not shown and not exported.
    QStringList titulos;
    for (int c = 1; c < g.Cols(); ++c)
        titulos << (g.TextMatrix(0, c).trimmed() + u' ' + g.TextMatrix(1, c).trimmed()).trimmed();
    linea(titulos);
    for (int r = FlexGrid::FixedRows; r < g.Rows(); ++r) {
        QStringList campos;
        for (int c = 1; c < g.Cols(); ++c)
            campos << g.TextMatrix(r, c);
        linea(campos);
    }
    return out;
}

bool SheetExport::write(const QString& path, const QString& text, QString* error)
{
    return CsvText::writeFile(path, QByteArray("\xEF\xBB\xBF") + text.toUtf8(), error);
}

bool SheetExport::exportar()
{
    if (!w.mPlanillaCargada) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"),
                                    QStringLiteral("No hay una planilla cargada para exportar."),
                                    Dialogs::Icon::Exclamation);
        return false;
    }
    const TextBox* fecha = w.box(QStringLiteral("fecha"));
    const QDate dia = DateText::parse(fecha ? fecha->text() : QString());
    const QString sugerido = QStringLiteral("molvera-%1.csv")
                                 .arg(dia.isValid() ? dia.toString(u"yyyy-MM-dd") : "planilla");
    const auto path = Dialogs::instance().saveFileName(
        &w, QStringLiteral("Exportar la planilla"), sugerido,
        QStringLiteral("Archivos CSV (*.csv);;Todos los archivos (*)"));
    if (!path || path->trimmed().isEmpty()) return false;
    QString error;
    if (!write(*path, csv(*w.MSflexGrid1(), separator()), &error)) {
        Dialogs::instance().message(&w, QStringLiteral("Aviso al operador"), error,
                                    Dialogs::Icon::Critical);
        return false;
    }
    return true;
}
