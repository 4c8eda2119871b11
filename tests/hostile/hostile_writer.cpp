// A second program over the same embedded database, for the kill test: it
// opens the file through the data service, as a workstation does, and writes
// edits of the intake rows in a loop with the statement the sheet uses. After
// each edit the database accepted it prints "ok <n>" and flushes, so that the
// test knows exactly which edits were reported accepted when it kills it.
//   hostile_writer <database file> <run> <rows>
#include "DataService.h"
#include "ServiceError.h"

#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: hostile_writer <database> <run> <rows>\n");
        return 2;
    }
    const QString run = QString::fromLocal8Bit(argv[2]);
    const int rows = QByteArray(argv[3]).toInt();
    DataService data;
    data.setDatabaseName(QString::fromLocal8Bit(argv[1]));
    data.open(true);
    if (!data.isOpen()) {
        std::fprintf(stderr, "open: %s\n", qPrintable(data.openError()));
        return 1;
    }
    const QString sql = QStringLiteral("UPDATE v_mv_molvera SET [OBSERVACIONES] = ?, "
                                       "fecha_modificacion = ? WHERE ID = ?");
    const QString tonnes = QStringLiteral("UPDATE v_mv_molvera SET [TONELADAS] = ?, "
                                          "fecha_modificacion = ? WHERE ID = ?");
    std::printf("ready\n");
    std::fflush(stdout);
    for (qint64 n = 1;; ++n) {
        const qint64 id = (n % rows) + 1;
        try {
            data.execute(sql, {QStringLiteral("%1-%2").arg(run).arg(n), QDateTime::currentDateTime(),
                               id});
            data.execute(tonnes, {double(n % 40) + 0.5, QDateTime::currentDateTime(), id});
        } catch (const ServiceError& e) {
            std::fprintf(stderr, "edit %lld: %s\n", static_cast<long long>(n),
                         qPrintable(e.description()));
            return 4;
        }
        std::printf("ok %lld\n", static_cast<long long>(n));
        std::fflush(stdout);
    }
}
