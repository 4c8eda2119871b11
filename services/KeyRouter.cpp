#include "KeyRouter.h"

#include "DeadKeys.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <limits>

namespace {

// A key event as the X server sends it (the X protocol's KeyPress and
// KeyRelease), as the window system hands it to the native event filter.
struct XKeyEventWire {
    std::uint8_t responseType;
    std::uint8_t detail;
    std::uint16_t sequence;
    std::uint32_t time;
    std::uint32_t root;
    std::uint32_t event;
    std::uint32_t child;
    std::int16_t rootX, rootY, eventX, eventY;
    std::uint16_t state;
    std::uint8_t sameScreen;
    std::uint8_t pad;
};
constexpr std::uint8_t kXKeyPress = 2;
constexpr std::uint8_t kXKeyRelease = 3;

bool isModifier(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch: return true;
    default: return false;
    }
}

bool isPointerInput(QEvent::Type t)
{
    switch (t) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::Close: return true;
    default: return false;
    }
}

// Windows that live beside the one with the keyboard: a list dropped down,
// a menu, a tooltip.
bool isPopup(const QWindow* w)
{
    return w->type() == Qt::Popup || w->type() == Qt::ToolTip;
}

std::unique_ptr<QKeyEvent> withText(const QKeyEvent* e, const QString& text)
{
    auto ev = std::make_unique<QKeyEvent>(e->type(), e->key(), e->modifiers(), e->nativeScanCode(),
                                          e->nativeVirtualKey(), e->nativeModifiers(), text,
                                          e->isAutoRepeat(), ushort(text.size()), e->device());
    ev->setTimestamp(e->timestamp());
    return ev;
}

// Milliseconds from one time of the window system to a later one; as far as
// can be when either is unknown (0).
qint64 gap(quint64 later, quint64 earlier)
{
    if (later == 0 || earlier == 0) return std::numeric_limits<qint64>::max();
    return qint64(later - earlier);
}

} // namespace

KeyRouter::KeyRouter() = default;

KeyRouter& KeyRouter::instance()
{
    static QPointer<KeyRouter> router;
    if (!router) {
        router = new KeyRouter;
        router->setParent(qApp);
        qApp->installEventFilter(router);
        qApp->installNativeEventFilter(router);
    }
    return *router;
}

void KeyRouter::setMainWindow(QWidget* window)
{
    m_main = window;
}

bool KeyRouter::modalOpen()
{
    return !instance().m_stack.isEmpty();
}

KeyRouter::Entry* KeyRouter::top()
{
    return m_stack.isEmpty() ? nullptr : m_stack.back();
}

bool KeyRouter::holding() const
{
    return !m_stack.isEmpty() && m_stack.back()->finished;
}

QWidget* KeyRouter::owner() const
{
    if (!m_stack.isEmpty()) return m_stack.back()->dialog;
    return m_main;
}

QWindow* KeyRouter::ownerWindow() const
{
    QWidget* o = owner();
    return o ? o->windowHandle() : nullptr;
}

int KeyRouter::run(QDialog* dialog, Keys keys)
{
    KeyRouter& r = instance();
    QPointer<QDialog> guard(dialog);
    auto entry = std::make_unique<Entry>();
    entry->dialog = dialog;
    entry->keys = keys;
    entry->returnTo = r.owner();
    if (!entry->returnTo)
        entry->returnTo = dialog->parentWidget() ? dialog->parentWidget()->window()
                                                 : QApplication::activeWindow();
    if (!r.m_main && r.m_stack.isEmpty()) r.m_main = entry->returnTo;
    entry->keyTimeAtShow = r.m_lastPressTime;
    // The program's own modality: Qt's would drop the keys typed at the
    // window below before this one has the keyboard.
    dialog->setWindowModality(Qt::NonModal);
    dialog->setResult(0);
    QEventLoop loop;
    QObject::connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    QObject::connect(dialog, &QObject::destroyed, &loop, &QEventLoop::quit);
    Entry* e = entry.get();
    r.m_stack.push_back(entry.release());
    dialog->show();
    QMetaObject::Connection hiding;
    if (QWindow* w = dialog->windowHandle())
        hiding = QObject::connect(w, &QWindow::visibleChanged, &r, [&r, &loop, dialog](bool v) {
            if (v) return;
            r.closing(dialog);
            loop.quit();
        });
    dialog->raise();
    dialog->activateWindow();
    e->shown.start();
    r.opened(*e);
    if (guard && guard->isVisible() && !e->finished) loop.exec(QEventLoop::DialogExec);
    QObject::disconnect(hiding);
    r.m_stack.removeOne(e);
    delete e;
    if (!r.m_held.empty() && !r.m_releaseScheduled) {
        r.m_releaseScheduled = true;
        QMetaObject::invokeMethod(&r, &KeyRouter::releaseHeld, Qt::QueuedConnection);
    }
    return guard ? guard->result() : int(QDialog::Rejected);
}

void KeyRouter::opened(Entry& entry)
{
    // Keys still waiting from before this window opened (it was opened by
    // one of them): typed ahead into it, or, for a message, typed before it
    // appeared.
    std::deque<Held> waiting;
    waiting.swap(m_held);
    if (entry.keys != Keys::TypeAhead) return;
    QWindow* to = entry.dialog ? entry.dialog->windowHandle() : nullptr;
    for (Held& h : waiting) {
        if (!to || entry.finished) {
            m_held.push_back(std::move(h));
            continue;
        }
        const QEvent* before = m_releasing;
        m_releasing = h.event.get();
        QCoreApplication::sendEvent(to, h.event.get());
        m_releasing = before;
    }
}

void KeyRouter::closing(QDialog* dialog)
{
    for (Entry* e : m_stack) {
        if (e->dialog != dialog) continue;
        e->finished = true;
        // The keyboard goes back before this window leaves the screen: the
        // window system would otherwise send the next keys nowhere.
        if (e->returnTo && e->returnTo->isVisible()) e->returnTo->activateWindow();
    }
}

void KeyRouter::hold(QWindow* window, QKeyEvent* e)
{
    m_held.push_back(Held{window, std::unique_ptr<QKeyEvent>(e->clone())});
    if (!holding() && !m_releaseScheduled) {
        m_releaseScheduled = true;
        QMetaObject::invokeMethod(this, &KeyRouter::releaseHeld, Qt::QueuedConnection);
    }
}

void KeyRouter::releaseHeld()
{
    m_releaseScheduled = false;
    while (!m_held.empty() && !holding()) {
        Held h = std::move(m_held.front());
        m_held.pop_front();
        QWindow* to = h.window ? h.window.data() : ownerWindow();
        if (!to) continue;
        const QEvent* before = m_releasing;
        m_releasing = h.event.get();
        QCoreApplication::sendEvent(to, h.event.get());
        m_releasing = before;
    }
}

bool KeyRouter::eventFilter(QObject* obj, QEvent* e)
{
    const QEvent::Type t = e->type();
    if (t == QEvent::ShortcutOverride) {
        // No shortcut of a window below the one with the keyboard.
        if (m_stack.isEmpty() || QGuiApplication::modalWindow()) return false;
        QWindow* w = obj->isWindowType() ? static_cast<QWindow*>(obj) : nullptr;
        if (!w && obj->isWidgetType()) w = static_cast<QWidget*>(obj)->window()->windowHandle();
        if (!w || w == ownerWindow() || isPopup(w)) return false;
        e->accept();
        return true;
    }
    if (!obj->isWindowType()) return false;
    auto* window = static_cast<QWindow*>(obj);
    if (t == QEvent::KeyPress || t == QEvent::KeyRelease)
        return key(window, static_cast<QKeyEvent*>(e));
    if (isPointerInput(t)) return pointer(window, e);
    return false;
}

bool KeyRouter::key(QWindow* window, QKeyEvent* e)
{
    if (m_own.contains(e)) return false;
    // A window of Qt's own modality (the print dialog's) and a list dropped
    // down keep their keys as Qt gives them.
    if (QGuiApplication::modalWindow() || QApplication::activePopupWidget()) return false;
    // Keys that come while a window is closing, or behind keys that wait,
    // wait for the window that will have the keyboard.
    if (e != m_releasing && (holding() || !m_held.empty())) {
        hold(window, e);
        return true;
    }
    std::unique_ptr<QKeyEvent> composed;
    const int k = e->key();
    if (DeadKeys::combiningMark(k)) {
        if (e->type() == QEvent::KeyRelease) return true;
        if (!m_dead) {
            m_dead = k;
            return true;
        }
        // A second accent key: the first accent alone (twice the same: once).
        composed = withText(e, DeadKeys::compose(m_dead, {}));
        m_dead = k == m_dead ? 0 : k;
    } else if (m_dead && e->type() == QEvent::KeyPress && !isModifier(k)) {
        const QString typed = e->text();
        if (!typed.isEmpty() && typed.at(0).isPrint())
            composed = withText(e, DeadKeys::compose(m_dead, typed));
        m_dead = 0;
    }
    return route(window, composed ? composed.get() : e, composed != nullptr);
}

bool KeyRouter::route(QWindow* window, QKeyEvent* e, bool mustDeliver)
{
    const quint64 previous = m_lastPressTime;
    if (e->type() == QEvent::KeyPress && e->timestamp()) m_lastPressTime = e->timestamp();
    QWindow* to = ownerWindow();
    Entry* t = top();
    const bool leave = !to || isPopup(window) || (!t && window != to && window->isVisible());
    if (!leave && t && t->keys == Keys::ReadFirst && (window != to || !deliberate(*t, e, previous))) {
        if (e->type() == QEvent::KeyPress) t->swallowed.push_back(e->key());
        return true;
    }
    if (leave || window == to) {
        if (!mustDeliver) return false;
        deliver(window, e);
        return true;
    }
    deliver(to, e);
    return true;
}

bool KeyRouter::deliberate(Entry& entry, QKeyEvent* e, quint64 previous)
{
    if (e->type() == QEvent::KeyRelease) return !entry.swallowed.removeOne(e->key());
    if (e->isAutoRepeat()) return false;
    const bool early =
        entry.shown.elapsed() < kReadMs || gap(e->timestamp(), entry.keyTimeAtShow) < kReadMs;
    const bool typingOn = gap(e->timestamp(), previous) < kPauseMs;
    return !early && !typingOn;
}

void KeyRouter::deliver(QWindow* to, QKeyEvent* e)
{
    std::unique_ptr<QKeyEvent> copy(e->clone());
    m_own.push_back(copy.get());
    QCoreApplication::sendEvent(to, copy.get());
    m_own.removeOne(copy.get());
}

bool KeyRouter::pointer(QWindow* window, QEvent* e)
{
    if (m_stack.isEmpty() || QGuiApplication::modalWindow()) return false;
    QWindow* to = ownerWindow();
    if (!to || window == to || isPopup(window)) return false;
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseButtonPress || t == QEvent::NonClientAreaMouseButtonPress) {
        if (QWidget* o = owner()) {
            o->raise();
            o->activateWindow();
        }
    }
    e->ignore();
    return true;
}

bool KeyRouter::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    // A key the X server sent to a window that is gone (a pick list closed
    // a moment before) would be dropped: it goes to the window that has the
    // keyboard now.
    if (eventType != "xcb_generic_event_t" || !message) return false;
    auto* ev = static_cast<XKeyEventWire*>(message);
    const std::uint8_t kind = ev->responseType & 0x7f;
    if (kind != kXKeyPress && kind != kXKeyRelease) return false;
    for (QWindow* w : QGuiApplication::allWindows())
        if (w->handle() && w->winId() == WId(ev->event)) return false;
    QWindow* to = ownerWindow();
    if (!to || !to->handle()) return false;
    ev->event = std::uint32_t(to->winId());
    ev->child = 0;
    return false;
}
