#pragma once

#include <QObject>

class QWidget;

namespace malvorn::window {

// While a command works: the hourglass over the window and, for the commands
// that ask for it, no input to the window. The input is held back by a filter
// rather than by disabling the window, which would grey the status line and
// its progress with it. Boxes the command shows are windows of their own and
// take input as usual. The destructor puts both back as they were, on the
// normal path and when the command throws alike.
class BusyState : public QObject {
  public:
    enum class Input { kAccepted, kBlocked };

    explicit BusyState(QWidget* window, Input input = Input::kAccepted);
    ~BusyState() override;
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QWidget* window_;
    bool hadOwnCursor_;
    int previousShape_;
    bool blocking_;
};

}  // namespace malvorn::window
