#pragma once

class QWidget;

namespace malvorn::window {

// While a command works: the hourglass over the window and, for the commands
// that ask for it, the window disabled. The destructor puts both back as they
// were, on the normal path and when the command throws alike.
class BusyState {
  public:
    enum class Input { kAccepted, kBlocked };

    explicit BusyState(QWidget* window, Input input = Input::kAccepted);
    ~BusyState();
    BusyState(const BusyState&) = delete;
    BusyState& operator=(const BusyState&) = delete;

  private:
    QWidget* window_;
    bool hadOwnCursor_;
    int previousShape_;
    bool wasEnabled_;
};

}  // namespace malvorn::window
