#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVector>
#include <optional>

class DataService;
class frmTrigo;

// One recorded change of an intake row: an insert ("ALTA"), an update
// ("MODIFICACION") or a delete ("BAJA") of one column.
struct HistoryEntry {
    QDateTime cuando;
    QString usuario;
    QString operacion;
    QString campo; // column name, lower case
    QVariant anterior;
    QVariant nuevo;
};

// The change history of the intake rows. The database writes it (triggers on
// mv_molvera, in the statement that makes the change); the program names the
// operator in mv_molvera.modificado_por with every insert and update it
// makes, and stamps it just before a delete. A database made before the
// history was kept has neither the column nor the table: then nothing is
// stamped and the history reads empty.
class ChangeHistory
{
public:
    explicit ChangeHistory(frmTrigo& w) : w(w) {}

    // True when the database keeps the history (asked once per window).
    bool available();
    // The operator of the session: the responsible person box, or the
    // operator named on the command line.
    QString operador() const;
    // ", modificado_por = ?" for an UPDATE when the history is kept, or "".
    QString setClause();
    // Names the operator on the row that is about to be deleted, so that the
    // delete's record names who deleted it. Raises ServiceError.
    void marcarBaja(qint64 id);

    // The recorded changes of one row, oldest first. Raises ServiceError.
    static QVector<HistoryEntry> rowsOf(DataService& data, qint64 id);
    // Who made the latest recorded change of a column of one row; empty when
    // nothing names anyone. Raises ServiceError.
    static QString ultimoOperador(DataService& data, qint64 id, const QString& campo);
    // The grid's caption of a recorded column ("toneladas" -> "TN DESC.").
    static QString caption(const QString& campo);
    // A recorded value as the operator reads it: numbers in the locale's
    // format, dates in the short form.
    static QString shownValue(const QString& campo, const QVariant& value);
    static QString shownOperation(const QString& operacion);

    // Shows the "Historial" window of the current row of the sheet.
    void mostrar();

private:
    frmTrigo& w;
    std::optional<bool> m_available;
};
