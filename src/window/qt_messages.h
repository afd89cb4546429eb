#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

#include "base/messages.h"

class QWidget;

namespace malvorn::window {

// The program's texts separate lines with CR; a Qt box breaks lines at LF.
QString messageBoxText(const std::string& text);

// Every message box of the window: modal over `parent`, one of the four
// title forms, OK or Yes/No.
class QtMessageService : public base::MessageService {
  public:
    explicit QtMessageService(QWidget* parent) : parent_(parent) {}

    base::MessageAnswer show(const std::string& text, base::MessageIcon icon,
                             base::MessageButtons buttons, base::TitleForm title) override;
    void beep() override;

    // The box as it will be shown; exposed so its content can be checked
    // without running it.
    static std::unique_ptr<QMessageBox> build(QWidget* parent, const std::string& text,
                                              base::MessageIcon icon, base::MessageButtons buttons,
                                              base::TitleForm title);

  private:
    QWidget* parent_;
};

}  // namespace malvorn::window
