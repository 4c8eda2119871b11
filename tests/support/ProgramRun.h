#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// The program itself run once with its arguments, as a script or cron would:
// its exit status (-2 when it crashed, -1 when it did not end within a
// minute) and what it wrote.
struct ProgramRun {
    int status = -1;
    QString out, err;

    static ProgramRun of(const QString& program, const QStringList& args,
                         const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
    {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(program, args);
        ProgramRun r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            r.err = QStringLiteral("did not finish");
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
};
