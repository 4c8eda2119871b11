#include "RecordSet.h"

#include "ServiceError.h"

RecordSet::RecordSet(QVector<Field> fields, QVector<QVariant> values)
    : m_fields(std::move(fields)), m_values(std::move(values)), m_pos(0), m_open(true)
{
    const qsizetype width = m_fields.size();
    Q_ASSERT(width > 0 ? m_values.size() % width == 0 : m_values.isEmpty());
    m_rowCount = width > 0 ? int(m_values.size() / width) : 0;
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
    m_values.clear();
    m_rowCount = 0;
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
    return m_values.at(qsizetype(m_pos) * m_fields.size() + i);
}

QVariant RecordSet::value(const QString& name) const
{
    const int i = indexOf(name);
    if (i < 0) throw ServiceError(3265, QStringLiteral("No existe el campo %1.").arg(name));
    return value(i);
}
