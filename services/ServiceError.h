#pragma once

#include <QString>
#include <stdexcept>

// The error raised by a service operation. Handlers catch it and decide, as
// each of them documents, whether to skip the step, stop, or ask the operator
// through the error dialog (abort 3, retry 4, ignore 5).
class ServiceError : public std::runtime_error
{
public:
    // Error numbers the handlers look at.
    enum : int {
        InvalidCall = 5,     // invalid procedure call or argument
        Overflow = 6,        // a number out of range
        TypeMismatch = 13,   // a text that is not of the expected kind
        NotFound = 53,       // a file that does not exist
        Database = 3000,     // the database refused a statement
        NotConnected = 3001, // no open connection
    };

    ServiceError(int number, const QString& description, const QString& source = {})
        : std::runtime_error(description.toStdString()), m_number(number),
          m_description(description), m_source(source)
    {
    }

    int number() const { return m_number; }
    QString description() const { return m_description; }
    QString source() const { return m_source; }

private:
    int m_number;
    QString m_description;
    QString m_source;
};
