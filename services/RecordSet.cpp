#include "RecordSet.h"

#include "ServiceError.h"

#include <algorithm>
#include <vector>

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

void RecordSet::orderByNumber(int field)
{
    const int width = m_fields.size();
    if (field < 0 || field >= width || m_rowCount < 2) return;
    std::vector<std::pair<qint64, int>> keys(m_rowCount);
    bool ordered = true;
    for (int r = 0; r < m_rowCount; ++r) {
        keys[r] = {m_values.at(qsizetype(r) * width + field).toLongLong(), r};
        if (r > 0 && keys[r] < keys[r - 1]) ordered = false;
    }
    if (ordered) return;
    std::sort(keys.begin(), keys.end()); // by number, then by place: stable
    QVector<QVariant> out;
    out.reserve(m_values.size());
    for (const auto& k : keys)
        for (int c = 0; c < width; ++c)
            out.push_back(std::move(m_values[qsizetype(k.second) * width + c]));
    m_values = std::move(out);
}
