#include "RecordSet.h"

#include "ServiceError.h"

RecordSet::RecordSet(QVector<Field> fields, QVector<QVector<QVariant>> rows)
    : m_fields(std::move(fields)), m_rows(std::move(rows)), m_pos(0), m_open(true)
{
}

int RecordSet::fixedSizeOf(int metaTypeId)
{
    switch (metaTypeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return 4;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        return 8;
    case QMetaType::Bool:
        return 2;
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return 8;
    default:
        return 0;
    }
}

void RecordSet::close()
{
    m_open = false;
    m_rows.clear();
    m_pos = 0;
}

int RecordSet::indexOf(const QString& name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

QVariant RecordSet::value(int i) const
{
    if (bof() || eof()) throw ServiceError(3021, QStringLiteral("No hay registro actual."));
    if (i < 0 || i >= m_fields.size())
        throw ServiceError(3265, QStringLiteral("No existe el campo %1.").arg(i));
    return m_rows.at(m_pos).at(i);
}

QVariant RecordSet::value(const QString& name) const
{
    const int i = indexOf(name);
    if (i < 0) throw ServiceError(3265, QStringLiteral("No existe el campo %1.").arg(name));
    return value(i);
}
