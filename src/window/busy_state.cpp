#include "window/busy_state.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace malvorn::window {

namespace {

// What a user can do to a window: press, move, scroll, type, drop, close.
bool isInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::Drop:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

}  // namespace

BusyState::BusyState(QWidget* window, Input input)
    : window_(window),
      hadOwnCursor_(window->testAttribute(Qt::WA_SetCursor)),
      previousShape_(window->cursor().shape()),
      blocking_(input == Input::kBlocked) {
    window_->setCursor(Qt::WaitCursor);
    if (blocking_)
        QCoreApplication::instance()->installEventFilter(this);
}

BusyState::~BusyState() {
    if (blocking_)
        QCoreApplication::instance()->removeEventFilter(this);
    if (hadOwnCursor_)
        window_->setCursor(static_cast<Qt::CursorShape>(previousShape_));
    else
        window_->unsetCursor();
}

bool BusyState::eventFilter(QObject* watched, QEvent* event) {
    if (!isInput(event->type()) || !watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    // isAncestorOf stops at windows: a box over this window is not held.
    return widget == window_ || window_->isAncestorOf(widget);
}

}  // namespace malvorn::window
