#pragma once

#include <QString>
#include <QStringList>

// The program's command line apart from the window and the report:
// --help, --version, --backup, and the refusal of options it does not know.
namespace CommandLine
{

// The text of --help.
QString helpText();
// The text of --version.
QString versionText();

// The first option of the arguments (without the program's name) that this
// program does not know; empty when there is none.
QString unknownOption(const QStringList& arguments);

// molvera --backup FILE [parameter string]: copies the embedded database
// into FILE while the desks keep working and checks the copy. Exit status:
// 0 copied and checked, 1 no database, 2 wrong command line or a server
// database, 3 the copy failed.
int backup(const QStringList& arguments);

// Handles --help, --version, --backup and unknown options before any window
// exists. Answers the exit status, or -1 when the program goes on.
int run(int argc, char* argv[]);

} // namespace CommandLine
