#pragma once

#include <QMessageBox>
#include <QString>
#include <memory>

#include "shell/messages.h"

class QWidget;

namespace malvorn::shell::ui {

// The program's texts separate lines with CR; a Qt box breaks lines at LF.
QString messageBoxText(const std::string& text);

// Every message box of the window: modal over `parent`, one of the four
// title forms, OK or Yes/No.
class QtMessageService : public MessageService {
  public:
    explicit QtMessageService(QWidget* parent) : parent_(parent) {}

    MessageAnswer show(const std::string& text, MessageIcon icon, MessageButtons buttons,
                       TitleForm title) override;
    void beep() override;

    // The box as it will be shown; exposed so its content can be checked
    // without running it.
    static std::unique_ptr<QMessageBox> build(QWidget* parent, const std::string& text,
                                              MessageIcon icon, MessageButtons buttons,
                                              TitleForm title);

  private:
    QWidget* parent_;
};

}  // namespace malvorn::shell::ui
