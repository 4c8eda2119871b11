#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The rows of one statement, read forward once and kept, so that the row count
// is the true number of rows and the database cursor is closed at once.
class RecordSet
{
public:
    struct Field {
        QString name;
        int definedSize = 0; // declared length in characters, or the byte size of the type
        QMetaType::Type type = QMetaType::QString;
    };

    // The byte size of a value of a fixed-size type; 0 for texts and bytes,
    // whose size is their length.
    static int fixedSizeOf(int metaTypeId);

    RecordSet() = default;
    RecordSet(QVector<Field> fields, QVector<QVector<QVariant>> rows);

    bool isOpen() const { return m_open; }
    void close();

    // Before-first and after-last tests, as a forward cursor has them.
    bool bof() const { return m_rows.isEmpty() || m_pos < 0; }
    bool eof() const { return m_rows.isEmpty() || m_pos >= m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }

    void moveFirst() { m_pos = 0; }
    void moveNext()
    {
        if (m_pos < m_rows.size()) ++m_pos;
    }
    void moveLast() { m_pos = m_rows.isEmpty() ? 0 : m_rows.size() - 1; }
    int position() const { return m_pos; }

    int recordCount() const { return m_rows.size(); }
    int fieldCount() const { return m_fields.size(); }
    const Field& field(int i) const { return m_fields.at(i); }
    QString fieldName(int i) const { return m_fields.at(i).name; }
    int indexOf(const QString& name) const; // case-insensitive, -1 when absent

    // Values of the current row. Throws ServiceError at either end or for an
    // unknown field.
    QVariant value(int i) const;
    QVariant value(const QString& name) const;

    // Direct access to the kept rows.
    const QVector<QVector<QVariant>>& rows() const { return m_rows; }

private:
    QVector<Field> m_fields;
    QVector<QVector<QVariant>> m_rows;
    int m_pos = 0;
    bool m_open = false;
};
