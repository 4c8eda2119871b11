#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

// Stand-ins for the instruments. A frame (a line, or any bytes) is sent ten
// times a second, as indicators do, to every client of a local TCP listener
// or into one end of a socat pseudo-terminal pair whose other end the
// program opens as its serial port.
class FakeInstrument : public QObject
{
public:
    QByteArray frame;

    FakeInstrument()
    {
        m_timer.setInterval(100);
        connect(&m_timer, &QTimer::timeout, this, [this] { send(frame); });
    }
    ~FakeInstrument() override { stopPty(); }

    // A TCP listener on a free loopback port; answers the port.
    quint16 listen()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                m_clients << s;
        });
        if (!m_server.listen(QHostAddress::LocalHost)) qFatal("no TCP port");
        m_timer.start();
        return m_server.serverPort();
    }
    int clients() const
    {
        int n = 0;
        for (QTcpSocket* s : m_clients)
            if (s->state() == QAbstractSocket::ConnectedState) ++n;
        return n;
    }
    // Closes every client connection (the converter reset).
    void dropClients()
    {
        for (QTcpSocket* s : m_clients)
            s->abort();
        m_clients.clear();
    }

    // A pseudo-terminal pair: the program's end is `programEnd`, the test
    // writes into the other. False when socat is not installed.
    bool startPty(const QString& programEnd)
    {
        m_programEnd = programEnd;
        m_ourEnd = programEnd + QStringLiteral(".instrumento");
        m_socat.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_socat.start(QStringLiteral("socat"),
                      {QStringLiteral("pty,raw,echo=0,link=") + m_programEnd,
                       QStringLiteral("pty,raw,echo=0,link=") + m_ourEnd});
        if (!m_socat.waitForStarted(3000)) return false;
        if (!QTest::qWaitFor(
                [&] {
                    return QFileInfo(m_programEnd).isSymLink() && QFileInfo(m_ourEnd).isSymLink();
                },
                5000))
            return false;
        m_pty.setFileName(m_ourEnd);
        if (!m_pty.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return false;
        m_timer.start();
        return true;
    }
    // The port disappears: socat ends and its links go.
    void stopPty()
    {
        m_pty.close();
        if (m_socat.state() != QProcess::NotRunning) {
            m_socat.terminate();
            m_socat.waitForFinished(3000);
        }
    }

    void send(const QByteArray& bytes)
    {
        if (bytes.isEmpty()) return;
        for (QTcpSocket* s : m_clients)
            if (s->state() == QAbstractSocket::ConnectedState) s->write(bytes);
        if (m_pty.isOpen()) m_pty.write(bytes);
    }
    void pause() { m_timer.stop(); }
    void resume() { m_timer.start(); }

private:
    QTimer m_timer;
    QTcpServer m_server;
    QList<QTcpSocket*> m_clients;
    QProcess m_socat;
    QFile m_pty;
    QString m_programEnd, m_ourEnd;
};
