// The link to an instrument over a pseudo-terminal (socat) and over TCP:
// frames at 10 Hz read as they come with garbage and cut lines between them,
// a port that is missing, one that disappears and comes back, one that falls
// silent. Nothing ever waits: the state is read while the event loop runs.
#include "FakeInstrument.h"
#include "InstrumentHub.h"
#include "InstrumentLink.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

namespace
{
const QString kFormato = QStringLiteral("^(?<estable>ST|US),GS,(?<peso>[+-]?[0-9]+)kg");

InstrumentConfig balanza(const QString& puerto)
{
    InstrumentConfig c;
    c.numero = 1;
    c.nombre = QStringLiteral("Balanza");
    c.puerto = puerto;
    c.formato = kFormato;
    return c;
}

bool waitState(InstrumentLink& l, InstrumentLink::Estado e, int ms = 4000)
{
    return QTest::qWaitFor([&] { return l.estado() == e; }, ms);
}
} // namespace

class TstInstrumentLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { InstrumentLink::setTiempos(200, 600); }

    // A serial port: the lines are read at the indicator's pace, garbage and
    // cut lines skipped, a second opener finds it busy; the port disappears (socat ends) and the
    // link says so and keeps trying until the port is back.
    void serialPortComesAndGoes()
    {
        QTemporaryDir dir;
        const QString port = dir.filePath("ttyBalanza");
        FakeInstrument scale;
        scale.frame = "ST,GS,+028340kg\r\n";
        if (!scale.startPty(port)) QSKIP("socat is not installed");

        InstrumentLink link(balanza(port));
        QSignalSpy changes(&link, &InstrumentLink::cambio);
        QElapsedTimer t;
        t.start();
        link.iniciar();
        QVERIFY(t.elapsed() < 500); // opening never waits on the instrument
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo));
        QCOMPARE(*link.ultima()->peso, 28340.0);
        QVERIFY(link.ultima()->estable);
        // Held by this link, the port is busy for any other program.
        {
            InstrumentLink second(balanza(port));
            second.iniciar();
            QCOMPARE(second.estado(), InstrumentLink::Estado::Ocupado);
            QVERIFY2(second.estadoTexto().contains(QLatin1String("ocupado por otro programa")),
                     qPrintable(second.estadoTexto()));
        }

        // Garbage and a line cut in two between frames: the next whole line counts.
        scale.send("\x01\x02garbage\r\nST,GS,+0");
        scale.frame = "US,GS,+029000kg\r\n";
        QVERIFY(QTest::qWaitFor([&] { return *link.ultima()->peso == 29000.0; }, 2000));
        QVERIFY(!link.ultima()->estable);
        const QString line = link.ultima()->linea;
        QCOMPARE(line, QStringLiteral("US,GS,+029000kg"));
        // About ten readings a second.
        const int before = changes.count();
        QTest::qWait(1000);
        QVERIFY2(changes.count() - before >= 6,
                 qPrintable(QString::number(changes.count() - before)));

        // The port disappears.
        scale.stopPty();
        QVERIFY(QTest::qWaitFor(
            [&] {
                return link.estado() == InstrumentLink::Estado::Ausente ||
                       link.estado() == InstrumentLink::Estado::Silencioso;
            },
            3000));
        QVERIFY(waitState(link, InstrumentLink::Estado::Ausente, 3000));
        QVERIFY(link.estadoTexto().contains(QLatin1String("reintentando")));
        // The last reading stays, growing older.
        QCOMPARE(*link.ultima()->peso, 29000.0);

        // And comes back (a new pseudo-terminal behind the same name).
        scale.frame = "ST,GS,+011220kg\r\n";
        QVERIFY(scale.startPty(port));
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo, 4000));
        QVERIFY(QTest::qWaitFor([&] { return *link.ultima()->peso == 11220.0; }, 2000));
    }

    // A weight is firm once the same stable weight came in three recognised
    // lines in a row younger than the limit: an unstable line starts the
    // count again, and lines older than the limit no longer count.
    void aWeightIsConfirmedInARow()
    {
        QTemporaryDir dir;
        const QString port = dir.filePath("ttyBalanza");
        FakeInstrument scale; // no frame: every line sent by hand
        if (!scale.startPty(port)) QSKIP("socat is not installed");
        InstrumentConfig c = balanza(port);
        c.edadMaximaMs = 800;
        InstrumentLink link(c);
        link.iniciar();
        auto lines = [&](const QByteArray& l, int n) {
            const qint64 before = link.lineasRecibidas();
            for (int i = 0; i < n; ++i)
                scale.send(l + "\r\n");
            return QTest::qWaitFor([&] { return link.lineasRecibidas() == before + n; }, 2000);
        };
        QVERIFY(lines("ST,GS,+028340kg", 2));
        QCOMPARE(link.repeticiones(), 2);
        QVERIFY(lines("US,GS,+028340kg", 1)); // the truck moved
        QCOMPARE(link.repeticiones(), 0);
        QVERIFY(lines("ST,GS,+028340kg", 4));
        QCOMPARE(link.repeticiones(), 3); // counted up to the number asked
        QVERIFY(link.firme());
        QTest::qWait(900);
        QVERIFY(!link.firme());
    }

    // Lines that arrive but that the format does not take (a unit it does
    // not know) are a state of their own, with the line kept; good lines
    // put the link back to receiving, silence to "sin datos", and after a
    // silence one such line is said at once.
    void linesNotUnderstood()
    {
        QTemporaryDir dir;
        const QString port = dir.filePath("ttyBalanza");
        FakeInstrument scale;
        scale.frame = "ST,GS,+028340lb\r\n";
        if (!scale.startPty(port)) QSKIP("socat is not installed");
        InstrumentLink link(balanza(port));
        link.iniciar();
        QVERIFY(waitState(link, InstrumentLink::Estado::NoReconocido, 3000));
        QCOMPARE(link.ultimaLinea(), QStringLiteral("ST,GS,+028340lb"));
        QVERIFY(!link.ultimaLineaReconocida() && !link.ultima());
        scale.frame = "ST,GS,+028340kg\r\n";
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo, 2000));
        scale.pause();
        QVERIFY(waitState(link, InstrumentLink::Estado::Silencioso, 3000));
        scale.send("ST,GS,+028340lb\r\n");
        QVERIFY(waitState(link, InstrumentLink::Estado::NoReconocido, 500));
    }

    // A port that is not there is shown as such and tried again in the
    // background.
    void missingPort()
    {
        QTemporaryDir dir;
        InstrumentLink link(balanza(dir.filePath("noexiste")));
        QSignalSpy changes(&link, &InstrumentLink::cambio);
        link.iniciar();
        QCOMPARE(link.estado(), InstrumentLink::Estado::Ausente);
        QVERIFY(link.estadoTexto().contains(QLatin1String("no disponible")));
        QVERIFY(!link.ultima());
        QTest::qWait(700);
        QVERIFY(changes.count() >= 3); // tried again, several times
    }

    // A TCP converter: connected in the background, silent when the scale
    // stops sending, lost when the connection drops and connected again.
    void tcpConverter()
    {
        FakeInstrument scale;
        scale.frame = "ST,GS,+015000kg\r\n";
        const quint16 port = scale.listen();
        InstrumentLink link(balanza(QStringLiteral("tcp://127.0.0.1:%1").arg(port)));
        link.iniciar();
        QCOMPARE(link.estado(), InstrumentLink::Estado::Abriendo); // no wait
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo));
        QCOMPARE(*link.ultima()->peso, 15000.0);

        scale.pause();
        QVERIFY(waitState(link, InstrumentLink::Estado::Silencioso, 2000));
        QVERIFY(link.ultima()->edadMs() >= 500);
        scale.resume();
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo, 2000));

        scale.dropClients();
        QVERIFY(waitState(link, InstrumentLink::Estado::Ausente, 2000));
        QVERIFY(QTest::qWaitFor([&] { return scale.clients() == 1; }, 3000));
        QVERIFY(waitState(link, InstrumentLink::Estado::Recibiendo, 2000));
    }

    // Nobody listening on the port: refused, retried.
    void tcpRefused()
    {
        quint16 port = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost));
            port = probe.serverPort();
        }
        InstrumentLink link(balanza(QStringLiteral("tcp://127.0.0.1:%1").arg(port)));
        link.iniciar();
        QVERIFY(waitState(link, InstrumentLink::Estado::Ausente, 2000));
    }

    // A section that cannot work says why and is not tried.
    void badSettings()
    {
        InstrumentConfig c = balanza(QStringLiteral("/dev/null"));
        c.formato = QStringLiteral("(?<peso>[0-9]+");
        InstrumentLink link(c);
        link.iniciar();
        QCOMPARE(link.estado(), InstrumentLink::Estado::Configuracion);
        QVERIFY(link.estadoTexto().contains(QLatin1String("Formato")));
    }

    // The hub: the scale and the analyzer found by what their formats give.
    void hubFindsScaleAndAnalyzer()
    {
        InstrumentHub hub;
        InstrumentConfig a;
        a.nombre = QStringLiteral("Analizador");
        a.puerto = QStringLiteral("tcp://127.0.0.1:1");
        a.formato = QStringLiteral("H=(?<humedad>[0-9.]+)");
        hub.configurar({a, balanza(QStringLiteral("tcp://127.0.0.1:1"))});
        QCOMPARE(hub.enlaces().size(), 2);
        QCOMPARE(hub.balanza()->nombre(), QStringLiteral("Balanza"));
        QCOMPARE(hub.analizador()->nombre(), QStringLiteral("Analizador"));
        hub.configurar({});
        QVERIFY(!hub.balanza());
        QVERIFY(!hub.analizador());
    }
};

QTEST_GUILESS_MAIN(TstInstrumentLink)
#include "tst_instrumentlink.moc"
