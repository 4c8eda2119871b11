#pragma once

#include <QString>

// The schema scripts of db/, built into the program: "sqlite", "postgres",
// "sqlserver". Empty when the program was built without that script.
QString embeddedSchema(const QString& name);
