#include "QueryMaskFile.h"
#include "ServiceError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstQueryMaskFile : public QObject
{
    Q_OBJECT
private slots:
    void standardMasksByteForByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("consultas.vxt");
        QueryMaskFile::writeStandardMasks(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray all = f.readAll();
        QCOMPARE(all.size(), 8414);
        QCOMPARE(all.left(100), QByteArray("ARTICULOS").leftJustified(100, ' '));
        QCOMPARE(all.mid(100, 100), QByteArray("V_MA_ARTICULOS").leftJustified(100, ' '));
        QCOMPARE(all.mid(200, 500), QByteArray("|DESCRIPCION|IDARTICULO|").leftJustified(500, ' '));
        QCOMPARE(all.mid(700, 500), QByteArray(500, ' '));
        for (int r = 0; r < 7; ++r) QCOMPARE(all.mid(r * 1202 + 1200, 2), QByteArray("\r\n"));
        QCOMPARE(all.mid(1202 * 1, 100).trimmed(), QByteArray("CLIENTES"));
        QCOMPARE(all.mid(1202 * 1 + 200, 500).trimmed(), QByteArray("|RAZON_SOCIAL|CODIGO|CONTACTO|"));
        QCOMPARE(all.mid(1202 * 6, 100).trimmed(), QByteArray("MANTENIMIENTOS"));
    }

    void encodeTrimsAndCuts()
    {
        const QByteArray r = QueryMaskFile::encode("  N  ", " S", QString(600, u'x'), " f ");
        QCOMPARE(r.size(), 1202);
        QCOMPARE(r.left(2), QByteArray("N "));
        QCOMPARE(r.mid(100, 3), QByteArray(" S ")); // the source is placed untrimmed
        QCOMPARE(r.mid(200, 500), QByteArray(500, 'x'));
        QCOMPARE(r.mid(700, 2), QByteArray("f "));
    }

    void partialRecordIsOverwritten()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("consultas.vxt");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QueryMaskFile::encode("MIA", "MI_TABLA", "|A|", ""));
        f.write(QByteArray(300, 'z')); // a cut-off second record
        f.close();
        QueryMaskFile::writeStandardMasks(path);
        QCOMPARE(QFileInfo(path).size(), qint64(1202 * 8));
        QVERIFY(QueryMaskFile::findBySource(path, "mi_tabla").has_value());
        QVERIFY(QueryMaskFile::findBySource(path, "VT_CLIENTES").has_value());
    }

    void findBySource()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("consultas.vxt");
        QVERIFY(!QueryMaskFile::findBySource(path, "VT_CLIENTES")); // no file
        QueryMaskFile::writeStandardMasks(path);
        auto r = QueryMaskFile::findBySource(path, "  vt_clientes ");
        QVERIFY(r.has_value());
        QCOMPARE(r->name.trimmed(), QStringLiteral("CLIENTES"));
        QVERIFY(!QueryMaskFile::findBySource(path, "SELECT * FROM VT_CLIENTES"));
        // A short, corrupt file answers nothing and does not fail.
        QFile f(dir.filePath("corta.vxt"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("basura");
        f.close();
        QVERIFY(!QueryMaskFile::findBySource(dir.filePath("corta.vxt"), "VT_CLIENTES"));
        // A hidden file counts as missing.
        QueryMaskFile::writeStandardMasks(dir.filePath(".oculto.vxt"));
        QVERIFY(!QueryMaskFile::exists(dir.filePath(".oculto.vxt")));
    }

    void unwritableFolderIsRaised()
    {
        QVERIFY_THROWS_EXCEPTION(ServiceError,
                                 QueryMaskFile::writeStandardMasks("/proc/no/such/folder/consultas.vxt"));
    }
};

QTEST_APPLESS_MAIN(TstQueryMaskFile)
#include "tst_querymaskfile.moc"
