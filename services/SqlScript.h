#pragma once

#include <QStringList>

// Splits a schema script into single statements: statements end at ";" outside
// literals and comments; a CREATE TRIGGER runs to its "END;"; a PostgreSQL
// dollar-quoted body is kept whole; a line holding only "GO" also ends one.
namespace SqlScript {
QStringList split(const QString& script);
}
