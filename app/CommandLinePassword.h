#pragma once

#include <QString>

// The database password given as "@Password=...;" on the command line is
// read once and blanked in the program's own argument memory, so that other
// users of the machine no longer read it in the process list (ps,
// /proc/PID/cmdline). Two other places keep it off the command line: the
// ODBC data source's own "Password=" entry, and the environment variable
// MOLVERA_PASSWORD.
namespace CommandLinePassword
{

// Takes the password out of the arguments: remembers its value and overwrites
// it with blanks in place. Call first thing in main, before anything copies
// the arguments.
void take(int argc, char** argv);
// The password for the connection: the item's own value when it has one,
// else the one taken from the command line, else MOLVERA_PASSWORD; empty
// leaves it to the ODBC data source.
QString resolve(const QString& item);
// Forgets the remembered value (tests).
void reset();

} // namespace CommandLinePassword
