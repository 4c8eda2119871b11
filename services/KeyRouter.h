#pragma once

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QVector>
#include <deque>
#include <memory>

class QDialog;
class QKeyEvent;
class QWidget;
class QWindow;

// Where the keyboard's keys go. A key reaches the window that has the
// keyboard when the key is handled, in the order the keys were typed, also
// while one of the program's modal windows opens or closes: a key typed
// right after F4 belongs to the pick list, even when the list is not on the
// screen yet; a key typed right after the pick belongs to the next cell,
// even when it reached the list's window before that window went away.
//
// The program's modal windows run here (run()): while one is up, the other
// windows of the program take no keys, clicks or close requests; keys
// meant for them go to it. A message (Keys::ReadFirst) is read, not typed
// through: the keys typed before it appeared are discarded, and it takes no
// key typed within its first moments or in a burst of keys (a scanner, a
// person typing on): it closes only on a deliberate key.
//
// The accent keys (dead keys) are composed here too, in the order the keys
// come and whatever widget has the keyboard (DeadKeys).
class KeyRouter : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    enum class Keys {
        TypeAhead, // a pick list, a chooser, a file dialog: keys typed while it opens are its own
        ReadFirst, // a message: read first, then closed by a deliberate key
    };

    // The router of the application, installed on it at the first call.
    static KeyRouter& instance();
    // The window the keys go to while none of the program's modal windows
    // is up (the main window).
    void setMainWindow(QWidget* window);

    // Shows the window over the one that has the keyboard and waits until it
    // is closed; answers its result code.
    static int run(QDialog* dialog, Keys keys);
    // True while one of the program's modal windows is up.
    static bool modalOpen();

    // A message takes no key typed within kReadMs after it appeared (nor
    // after the key that led to it), nor one typed less than kPauseMs after
    // the key before (someone typing on, a scanner): a deliberate key comes
    // after a pause.
    static constexpr int kReadMs = 300;
    static constexpr int kPauseMs = 250;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    KeyRouter();
    struct Entry {
        QPointer<QDialog> dialog;
        Keys keys = Keys::TypeAhead;
        QPointer<QWidget> returnTo;
        QElapsedTimer shown;
        quint64 keyTimeAtShow = 0; // the last key typed before it appeared
        bool finished = false;     // closed; its caller has not taken the result yet
        QList<int> swallowed;      // keys pressed and not taken: their releases neither
    };
    struct Held {
        QPointer<QWindow> window;
        std::unique_ptr<QKeyEvent> event;
    };

    bool key(QWindow* window, QKeyEvent* e);
    bool route(QWindow* window, QKeyEvent* e, bool mustDeliver);
    bool pointer(QWindow* window, QEvent* e);
    bool deliberate(Entry& entry, QKeyEvent* e, quint64 previous);
    void deliver(QWindow* to, QKeyEvent* e);
    void hold(QWindow* window, QKeyEvent* e);
    void releaseHeld();
    void closing(QDialog* dialog);
    void opened(Entry& entry);
    QWidget* owner() const;
    QWindow* ownerWindow() const;
    Entry* top();
    bool holding() const;

    QVector<Entry*> m_stack;
    QPointer<QWidget> m_main;
    std::deque<Held> m_held;
    QVector<const QEvent*> m_own; // events this router is delivering itself
    const QEvent* m_releasing = nullptr;
    bool m_releaseScheduled = false;
    int m_dead = 0;              // the accent key waiting for its letter
    quint64 m_lastPressTime = 0; // the time of the last key pressed, from the window system
};
