#include "window/qt_messages.h"

#include <QApplication>

namespace malvorn::window {

QString messageBoxText(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

namespace {

QMessageBox::Icon qtIcon(base::MessageIcon icon) {
    switch (icon) {
        case base::MessageIcon::kCritical:
            return QMessageBox::Critical;
        case base::MessageIcon::kExclamation:
            return QMessageBox::Warning;
        case base::MessageIcon::kQuestion:
            return QMessageBox::Question;
        case base::MessageIcon::kInformation:
            break;
    }
    return QMessageBox::Information;
}

}  // namespace

std::unique_ptr<QMessageBox> QtMessageService::build(QWidget* parent, const std::string& text,
                                                     base::MessageIcon icon,
                                                     base::MessageButtons buttons,
                                                     base::TitleForm title) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowModality(Qt::ApplicationModal);
    box->setWindowTitle(QString::fromStdString(base::messageTitle(title)));
    box->setTextFormat(Qt::PlainText);
    box->setText(messageBoxText(text));
    box->setIcon(qtIcon(icon));
    if (buttons == base::MessageButtons::kYesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
        box->setEscapeButton(QMessageBox::No);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    return box;
}

base::MessageAnswer QtMessageService::show(const std::string& text, base::MessageIcon icon,
                                           base::MessageButtons buttons, base::TitleForm title) {
    const auto box = build(parent_, text, icon, buttons, title);
    const int result = box->exec();
    if (buttons == base::MessageButtons::kOk)
        return base::MessageAnswer::kOk;
    return result == QMessageBox::Yes ? base::MessageAnswer::kYes : base::MessageAnswer::kNo;
}

void QtMessageService::beep() {
    QApplication::beep();
}

}  // namespace malvorn::window
