#include "window/busy_state.h"

#include <QWidget>

namespace malvorn::window {

BusyState::BusyState(QWidget* window, Input input)
    : window_(window),
      hadOwnCursor_(window->testAttribute(Qt::WA_SetCursor)),
      previousShape_(window->cursor().shape()),
      wasEnabled_(window->isEnabled()) {
    window_->setCursor(Qt::WaitCursor);
    if (input == Input::kBlocked)
        window_->setEnabled(false);
}

BusyState::~BusyState() {
    window_->setEnabled(wasEnabled_);
    if (hadOwnCursor_)
        window_->setCursor(static_cast<Qt::CursorShape>(previousShape_));
    else
        window_->unsetCursor();
}

}  // namespace malvorn::window
