#include "shell/ui/qt_messages.h"

#include <QApplication>

namespace malvorn::shell::ui {

QString messageBoxText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kCritical:
            return QMessageBox::Critical;
        case MessageIcon::kExclamation:
            return QMessageBox::Warning;
        case MessageIcon::kQuestion:
            return QMessageBox::Question;
        case MessageIcon::kInformation:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

std::unique_ptr<QMessageBox> QtMessageService::build(QWidget* parent, const std::string& text,
                                                     MessageIcon icon, MessageButtons buttons,
                                                     TitleForm title) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(QString::fromStdString(messageTitle(title)));
    box->setTextFormat(Qt::PlainText);
    box->setText(messageBoxText(text));
    box->setIcon(qtIcon(icon));
    if (buttons == MessageButtons::kYesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

MessageAnswer QtMessageService::show(const std::string& text, MessageIcon icon,
                                     MessageButtons buttons, TitleForm title) {
    const auto box = build(parent_, text, icon, buttons, title);
    const int result = box->exec();
    if (buttons == MessageButtons::kOk)
        return MessageAnswer::kOk;
    return result == QMessageBox::Yes ? MessageAnswer::kYes : MessageAnswer::kNo;
}

void QtMessageService::beep() {
    QApplication::beep();
}

}  // namespace malvorn::shell::ui
