#include "ColumnOps.h"
#include "IntakeFixture.h"

#include <QToolButton>
#include <QtTest>

namespace
{

const QString kConfirmacion = QString::fromUtf8(
    "Muy importante...\r\nEsta opción copia el contenido del primer campo seleccionado, al resto "
    "de los campos seleccionados\r\n¿Está seguro de Continuar...?");

} // namespace

class TstColumnOps : public QObject
{
    Q_OBJECT

    // A sheet of n rows with the given sellers; answers their ids in grid order.
    static QList<qint64> hoja(IntakeFixture& f, const QStringList& vendedores,
                              const QString& columna = QStringLiteral("vendedor"))
    {
        QList<qint64> ids;
        for (const QString& v : vendedores)
            ids << f.fila(IntakeFixture::dia(), {{columna, v}});
        if (!f.cargar()) qFatal("sheet not loaded");
        return ids;
    }

    static void seleccionar(IntakeFixture& f, int row, int col, int rowSel, int colSel = -1)
    {
        f.irA(row, col);
        f.grid()->setRowSel(rowSel);
        f.grid()->setColSel(colSel < 0 ? col : colSel);
    }

private slots:
    void answeringNoChangesNothing()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"ACOPIO SUR", "B", "C"});
        seleccionar(f, 2, 2, 4);
        f.dialogs.messageAnswers << Dialogs::No;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 0);
        QCOMPARE(f.dialogs.shown.size(), 1);
        const auto& m = f.dialogs.shown.first();
        QCOMPARE(m.title, QString::fromUtf8("¡Atención!"));
        QCOMPARE(m.text, kConfirmacion);
        QCOMPARE(m.icon, Dialogs::Icon::Question);
        QCOMPARE(f.valor("vendedor", ids[1]).toString(), QStringLiteral("B"));
        for (qint64 id : ids)
            QVERIFY(f.valor("fecha_modificacion", id).isNull());
    }

    void fillsTheRangeWritingEveryRow()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"X", "ACOPIO SUR", "B", "C", "D", "Y"});
        seleccionar(f, 3, 2, 6);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 4);
        for (int i = 1; i <= 4; ++i) {
            QCOMPARE(f.valor("vendedor", ids[i]).toString(), QStringLiteral("ACOPIO SUR"));
            QCOMPARE(f.grid()->TextMatrix(f.filaDe(ids[i]), 2), QStringLiteral("ACOPIO SUR"));
            // The anchor row is written again too.
            QVERIFY(!f.valor("fecha_modificacion", ids[i]).isNull());
        }
        QCOMPARE(f.valor("vendedor", ids[0]).toString(), QStringLiteral("X"));
        QCOMPARE(f.valor("vendedor", ids[5]).toString(), QStringLiteral("Y"));
        QVERIFY(f.valor("fecha_modificacion", ids[5]).isNull());
        // The cursor ends one column to the right of the end row.
        QCOMPARE(f.grid()->Row(), 6);
        QCOMPARE(f.grid()->Col(), 3);
        QCOMPARE(f.dialogs.shown.size(), 1);
    }

    void theButtonRunsTheFill()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"ACOPIO SUR", "B"});
        QVERIFY(f.w->CmdCompletar()->isEnabled());
        seleccionar(f, 2, 2, 3);
        f.dialogs.messageAnswers << Dialogs::Yes;
        f.w->CmdCompletar()->click();
        QCOMPARE(f.valor("vendedor", ids[1]).toString(), QStringLiteral("ACOPIO SUR"));
    }

    void upwardSelectionWritesNothing()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"A", "B", "ACOPIO SUR"});
        seleccionar(f, 4, 2, 2);
        QCOMPARE(f.grid()->RowSel(), 2);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 0);
        QCOMPARE(f.dialogs.count("message"), 1); // the confirmation only
        QCOMPARE(f.valor("vendedor", ids[0]).toString(), QStringLiteral("A"));
        QCOMPARE(f.valor("vendedor", ids[1]).toString(), QStringLiteral("B"));
        for (qint64 id : ids)
            QVERIFY(f.valor("fecha_modificacion", id).isNull());
    }

    void invalidDepositIsRefusedOncePerRow()
    {
        IntakeFixture f;
        // A deposit number that no deposit has (the silo was removed).
        const auto ids = hoja(f, {"0099", "0001", "0002", "0003"}, QStringLiteral("silodestino"));
        seleccionar(f, 2, 11, 5);
        QCOMPARE(f.grid()->Text(), QStringLiteral("0099"));
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 0);
        const QStringList mensajes = f.dialogs.messageTexts();
        QCOMPARE(mensajes.size(), 1 + 4);
        QCOMPARE(mensajes.count(QString::fromUtf8("¡¡¡Número de depósito incorrecto!!!")), 4);
        const QStringList antes{"0099", "0001", "0002", "0003"};
        for (int i = 0; i < ids.size(); ++i) {
            QCOMPARE(f.valor("silodestino", ids[i]).toString(), antes[i]);
            QVERIFY(f.valor("fecha_modificacion", ids[i]).isNull());
            // The cells keep what the database holds.
            QCOMPARE(f.grid()->TextMatrix(f.filaDe(ids[i]), 11), antes[i]);
        }
        QVERIFY(!f.w->editor().abierto());
    }

    void validDepositFillIsWritten()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"0004", "", "0002"}, QStringLiteral("silodestino"));
        seleccionar(f, 2, 11, 4);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 3);
        for (qint64 id : ids)
            QCOMPARE(f.valor("silodestino", id).toString(), QStringLiteral("0004"));
        QCOMPARE(f.dialogs.count("message"), 1);
    }

    void onlyTheAnchorColumnIsFilled()
    {
        IntakeFixture f;
        QList<qint64> ids;
        for (const char* p : {"TANDIL", "AZUL", "BALCARCE"})
            ids << f.fila(IntakeFixture::dia(), {{"vendedor", QString::fromUtf8(p) + "-V"},
                                                 {"procedencia", QString::fromUtf8(p)},
                                                 {"camionero", QString::fromUtf8(p) + "-C"}});
        QVERIFY(f.cargar());
        seleccionar(f, 2, 3, 4, 4);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 3);
        for (qint64 id : ids)
            QCOMPARE(f.valor("procedencia", id).toString(), QStringLiteral("TANDIL"));
        QCOMPARE(f.valor("camionero", ids[1]).toString(), QStringLiteral("AZUL-C"));
        QCOMPARE(f.valor("vendedor", ids[2]).toString(), QStringLiteral("BALCARCE-V"));
    }

    void lastColumnFillMovesToTheNextRow()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"seco", "", "", ""}, QStringLiteral("observaciones"));
        seleccionar(f, 2, 12, 4);
        f.dialogs.messageAnswers << Dialogs::Yes;
        QCOMPARE(f.w->columnOps().CmdCompletar(), 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(f.valor("observaciones", ids[i]).toString(), QStringLiteral("seco"));
        QVERIFY(f.valor("fecha_modificacion", ids[3]).isNull());
        QCOMPARE(f.grid()->Row(), 5);
        QCOMPARE(f.grid()->Col(), 1);
    }

    void identifierColumnIsNeverFilled()
    {
        IntakeFixture f;
        const auto ids = hoja(f, {"A", "B"});
        // The cursor cannot stand on the record number's column: put there,
        // it goes to the first column shown, and Duplicar copies that one.
        seleccionar(f, 2, 0, 3);
        QCOMPARE(f.grid()->Col(), 1);
        f.dialogs.messageAnswers << Dialogs::Yes;
        f.w->columnOps().CmdCompletar();
        QCOMPARE(f.filaDe(ids[0]), 2);
        QCOMPARE(f.filaDe(ids[1]), 3);
    }

    void sortComparesNumbersAsNumbers_data()
    {
        QTest::addColumn<QStringList>("valores");
        QTest::addColumn<QStringList>("orden");
        QTest::newRow("numbers") << QStringList{"10", "9", "100", "2"}
                                 << QStringList{"2", "9", "10", "100"};
        QTest::newRow("mixed") << QStringList{"lote 2", "10", "Abc", "9", "abd", "100"}
                               << QStringList{"9", "10", "100", "Abc", "abd", "lote 2"};
        QTest::newRow("decimals and negatives")
            << QStringList{"2.5", "-1", "12", "0"} << QStringList{"-1", "0", "2.5", "12"};
        QTest::newRow("empty last")
            << QStringList{"", "b", "3", "a"} << QStringList{"3", "a", "b", ""};
    }

    void sortComparesNumbersAsNumbers()
    {
        QFETCH(QStringList, valores);
        QFETCH(QStringList, orden);
        IntakeFixture f;
        const auto ids = hoja(f, valores, QStringLiteral("observaciones"));
        f.irA(2, 12);
        f.w->columnOps().CmdOrdenar();
        QStringList vistos;
        for (int r = 2; r < f.grid()->Rows(); ++r) {
            vistos << f.grid()->TextMatrix(r, 12);
            // Whole rows moved: the identifier still belongs to the value.
            const qint64 id = f.grid()->TextMatrix(r, 0).toLongLong();
            QCOMPARE(f.valor("observaciones", id).toString(), f.grid()->TextMatrix(r, 12));
        }
        QCOMPARE(vistos, orden);
        for (qint64 id : ids)
            QVERIFY(f.valor("fecha_modificacion", id).isNull());
        // Reloading shows the database order again.
        f.w->Reiniciar();
        QVERIFY(f.cargar());
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(f.filaDe(ids[i]), 2 + i);
    }

    void sortBySeveralColumnsAndSelectedRowsOnly()
    {
        IntakeFixture f;
        struct F {
            const char* silo;
            const char* obs;
        };
        const F filas[] = {{"0003", "b"}, {"0002", "z"}, {"0001", "y"},
                           {"0001", "x"}, {"0002", "a"}, {"0000", "q"}};
        QList<qint64> ids;
        for (const F& x : filas)
            ids << f.fila(IntakeFixture::dia(),
                          {{"silodestino", x.silo}, {"observaciones", x.obs}});
        QVERIFY(f.cargar());
        // Rows 2..6 selected across the deposit and observation columns;
        // the last row stays where it is.
        seleccionar(f, 2, 11, 6, 12);
        f.w->columnOps().CmdOrdenar();
        QStringList vistos;
        for (int r = 2; r < f.grid()->Rows(); ++r)
            vistos << f.grid()->TextMatrix(r, 11) + u'/' + f.grid()->TextMatrix(r, 12);
        QCOMPARE(vistos, (QStringList{"0001/x", "0001/y", "0002/a", "0002/z", "0003/b", "0000/q"}));
        QCOMPARE(f.filaDe(ids[5]), 7);
        // The cursor and the selection stay.
        QCOMPARE(f.grid()->Row(), 2);
        QCOMPARE(f.grid()->RowSel(), 6);
        // A later edit writes to the row it shows.
        const qint64 id = f.grid()->TextMatrix(2, 0).toLongLong();
        QCOMPARE(id, ids[3]);
        f.teclear(2, 12, QStringLiteral("revisado"));
        QCOMPARE(f.valor("observaciones", ids[3]).toString(), QStringLiteral("revisado"));
        QCOMPARE(f.valor("observaciones", ids[0]).toString(), QStringLiteral("b"));
    }

    void sortButtonIsWired()
    {
        IntakeFixture f;
        hoja(f, {"10", "9"}, QStringLiteral("observaciones"));
        f.irA(2, 12);
        f.w->CmdOrdenar()->click();
        QCOMPARE(f.grid()->TextMatrix(2, 12), QStringLiteral("9"));
    }
};

QTEST_MAIN(TstColumnOps)
#include "tst_columnops.moc"
