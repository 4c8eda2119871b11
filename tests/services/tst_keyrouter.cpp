// Keys that come while a modal window opens or closes, as the window system
// hands them to the program: to the window they were aimed at when typed.
#include "DeadKeys.h"
#include "KeyRouter.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Keys as the window system posts them: to a top-level window, in order.
void post(QWidget* window, const QString& text)
{
    for (QChar c : text) {
        const int key = c == u'\r' ? int(Qt::Key_Return) : int(c.toUpper().unicode());
        const QString t = c == u'\r' ? QString() : QString(c);
        QCoreApplication::postEvent(window->windowHandle(),
                                    new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, t));
        QCoreApplication::postEvent(window->windowHandle(),
                                    new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, t));
    }
}

void postKey(QWidget* window, int key, const QString& text = {})
{
    QCoreApplication::postEvent(window->windowHandle(),
                                new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(window->windowHandle(),
                                new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

struct Main {
    QWidget window;
    QLineEdit* edit = new QLineEdit(&window);
    Main()
    {
        window.resize(300, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        edit->setFocus();
        KeyRouter::instance().setMainWindow(&window);
    }
};

} // namespace

class TstKeyRouter : public QObject
{
    Q_OBJECT
private slots:
    // Keys typed before a pick list is up belong to it; keys typed after the
    // pick wait until it is taken and go, in order, where the keyboard is.
    void typedAheadIntoAListAndBack()
    {
        Main m;
        QDialog list(&m.window);
        auto* search = new QLineEdit(&list);
        (new QVBoxLayout(&list))->addWidget(search);
        search->setFocus();
        connect(search, &QLineEdit::returnPressed, &list, &QDialog::accept);
        post(&m.window, QStringLiteral("abc\rxyz"));
        QString taken;
        const int result = KeyRouter::run(&list, KeyRouter::Keys::TypeAhead);
        taken = search->text();
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(taken, QStringLiteral("abc"));
        // What the caller does with the pick comes before the keys after it.
        m.edit->setText(QStringLiteral("pick:") + taken + u' ');
        m.edit->setFocus();
        QTRY_COMPARE(m.edit->text(), QStringLiteral("pick:abc xyz"));
        QVERIFY(!KeyRouter::modalOpen());
    }

    // A message takes none of the keys typed on while it comes up, nor an
    // early Enter: only a deliberate one closes it, and the keys never reach
    // the window below.
    void aMessageIsReadNotTypedThrough()
    {
        Main m;
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Atención"), QStringLiteral("No."),
                        QMessageBox::Ok, &m.window);
        post(&m.window, QStringLiteral("zz\r"));
        bool openAfterEarlyEnter = false;
        QTimer::singleShot(50, [&] { postKey(&box, Qt::Key_Return); });
        QTimer::singleShot(250, [&] { openAfterEarlyEnter = box.isVisible(); });
        QTimer::singleShot(KeyRouter::kReadMs + 200, [&] { postKey(&box, Qt::Key_Return); });
        QElapsedTimer t;
        t.start();
        QCOMPARE(KeyRouter::run(&box, KeyRouter::Keys::ReadFirst), int(QMessageBox::Ok));
        QVERIFY(openAfterEarlyEnter);
        QVERIFY(t.elapsed() >= KeyRouter::kReadMs);
        QCoreApplication::processEvents();
        QCOMPARE(m.edit->text(), QString());
    }

    // Accent keys, as the keyboard sends them, in whatever widget.
    void accentKeysCompose()
    {
        Main m;
        postKey(&m.window, Qt::Key_Dead_Acute);
        postKey(&m.window, Qt::Key_E, QStringLiteral("e"));
        postKey(&m.window, Qt::Key_Dead_Acute);
        QCoreApplication::postEvent(m.window.windowHandle(),
                                    new QKeyEvent(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier));
        postKey(&m.window, Qt::Key_A, QStringLiteral("A"));
        postKey(&m.window, Qt::Key_Dead_Diaeresis);
        postKey(&m.window, Qt::Key_U, QStringLiteral("u"));
        postKey(&m.window, Qt::Key_Dead_Acute);
        postKey(&m.window, Qt::Key_X, QStringLiteral("x"));
        postKey(&m.window, Qt::Key_Dead_Acute);
        postKey(&m.window, Qt::Key_Space, QStringLiteral(" "));
        QTRY_COMPARE(m.edit->text(), QStringLiteral("éÁü´x´"));
        QCOMPARE(DeadKeys::compose(Qt::Key_Dead_Tilde, QStringLiteral("n")), QStringLiteral("ñ"));
        QCOMPARE(DeadKeys::compose(Qt::Key_Dead_Cedilla, QStringLiteral("C")), QStringLiteral("Ç"));
        QCOMPARE(DeadKeys::compose(Qt::Key_Dead_Grave, QString()), QStringLiteral("`"));
    }
};

QTEST_MAIN(TstKeyRouter)
#include "tst_keyrouter.moc"
