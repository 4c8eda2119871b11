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
        // Whether definedSize is what the database declares; false when the
        // database declares no length and it is the longest value read.
        bool declared = false;
        QMetaType::Type type = QMetaType::QString;
    };

    // The byte size of a value of a fixed-size type; 0 for texts and bytes,
    // whose size is their length.
    static int fixedSizeOf(int metaTypeId);

    // One row of the kept rows: its values in the order of the fields.
    class Row
    {
    public:
        Row(const QVariant* values, int count) : m_values(values), m_count(count) {}
        int size() const { return m_count; }
        const QVariant& at(int i) const
        {
            Q_ASSERT(i >= 0 && i < m_count);
            return m_values[i];
        }
        const QVariant* begin() const { return m_values; }
        const QVariant* end() const { return m_values + m_count; }

    private:
        const QVariant* m_values;
        int m_count;
    };

    // The kept rows, in order.
    class Rows
    {
    public:
        class const_iterator
        {
        public:
            const_iterator(const QVariant* at, int width) : m_at(at), m_width(width) {}
            Row operator*() const { return Row(m_at, m_width); }
            const_iterator& operator++()
            {
                m_at += m_width;
                return *this;
            }
            bool operator!=(const const_iterator& o) const { return m_at != o.m_at; }
            bool operator==(const const_iterator& o) const { return m_at == o.m_at; }

        private:
            const QVariant* m_at;
            int m_width;
        };
        Rows(const QVector<QVariant>& values, int width, int count)
            : m_values(values.constData()), m_width(width), m_count(count)
        {
        }
        int size() const { return m_count; }
        bool isEmpty() const { return m_count == 0; }
        Row at(int r) const
        {
            Q_ASSERT(r >= 0 && r < m_count);
            return Row(m_values + qsizetype(r) * m_width, m_width);
        }
        Row first() const { return at(0); }
        const_iterator begin() const { return const_iterator(m_values, m_width); }
        const_iterator end() const
        {
            return const_iterator(m_values + qsizetype(m_count) * m_width, m_width);
        }

    private:
        const QVariant* m_values;
        int m_width;
        int m_count;
    };

    RecordSet() = default;
    // The rows' values one row after the other, as many to a row as there
    // are fields.
    RecordSet(QVector<Field> fields, QVector<QVariant> values);

    bool isOpen() const { return m_open; }
    void close();

    // Before-first and after-last tests, as a forward cursor has them.
    bool bof() const { return m_rowCount == 0 || m_pos < 0; }
    bool eof() const { return m_rowCount == 0 || m_pos >= m_rowCount; }
    bool isEmpty() const { return m_rowCount == 0; }

    void moveFirst() { m_pos = 0; }
    void moveNext()
    {
        if (m_pos < m_rowCount) ++m_pos;
    }
    void moveLast() { m_pos = m_rowCount == 0 ? 0 : m_rowCount - 1; }
    int position() const { return m_pos; }

    int recordCount() const { return m_rowCount; }
    int fieldCount() const { return m_fields.size(); }
    const Field& field(int i) const { return m_fields.at(i); }
    QString fieldName(int i) const { return m_fields.at(i).name; }
    int indexOf(const QString& name) const; // case-insensitive, -1 when absent

    // Values of the current row. Throws ServiceError at either end or for an
    // unknown field.
    QVariant value(int i) const;
    QVariant value(const QString& name) const;

    // Puts the rows in the order of a field's whole numbers (rows with equal
    // numbers keep their order).
    void orderByNumber(int field);

    // Direct access to the kept rows.
    Rows rows() const { return Rows(m_values, m_fields.size(), m_rowCount); }

private:
    QVector<Field> m_fields;
    QVector<QVariant> m_values; // every row's values, in one block
    int m_rowCount = 0;
    int m_pos = 0;
    bool m_open = false;
};
