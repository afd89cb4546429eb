// The window under the offscreen platform: what the xdotool runs of each tab
// and the core's command tests do not reach.
#include "window/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/files.h"
#include "convert/fixed_scripts.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "window/busy_state.h"
#include "window/qt_messages.h"
#include "window/translations.h"

namespace malvorn::window {
namespace {

// The close box saves as 終了 does; what was saved comes back, cleared
// connection fields as their defaults. The LFIDNO box, the table box and the
// check boxes are not kept.
TEST(MainWindow, EndButtonAndCloseBoxSaveAlikeAndReload) {
    const std::string sql = "SELECT 表名\r\n  FROM LFIDNO\r\n\r\n WHERE IDNO > 1",
                      db = "/データ/販売.mdb";
    const std::tuple<const char*, std::string, std::string> boxes[] = {
        // typed, reloaded
        {"txtUserID", "営業部", "営業部"},
        {"txtDbPath", db, db},
        {"txtSQL", sql, sql},
        {"txtSystem", "   ", "system"},
        {"txtPassOfSystem", "", "tarnbol"},
        {"txtLFIDNO", "edited", convert::lfidnoDefinitionText()},
        {"cboTable", "SHOHIN", ""}};
    TempDir dir;
    ScriptedMessages messages;
    const auto open = [&](const std::string& path) {
        return std::make_unique<frmMain>(FormContext{path, {0, 0, 28800, 15600}, 15, 15, {}, {}},
                                         &messages);
    };
    const std::string viaButton = dir.path() + "/button.ini", viaCloseBox = dir.path() + "/x.ini";
    for (const auto& path : {viaButton, viaCloseBox}) {
        auto window = open(path);
        window->ShowForm();
        for (const auto& [box, typed, reloaded] : boxes)
            window->setText(QString::fromUtf8(box), typed);
        qobject_cast<QCheckBox*>(window->control(QStringLiteral("chkSaveSQL")))->setChecked(false);
        if (path == viaButton)
            window->button(QStringLiteral("cmdEnd"))->click();
        else
            EXPECT_TRUE(window->close());  // what the window manager's close box sends
        EXPECT_FALSE(window->isVisible());
    }
    ASSERT_TRUE(base::fileExists(viaButton));
    EXPECT_EQ(base::readFileBytes(viaButton), base::readFileBytes(viaCloseBox));
    auto again = open(viaButton);
    for (const auto& [box, typed, reloaded] : boxes)
        EXPECT_EQ(again->text(QString::fromUtf8(box)), reloaded) << box;
    EXPECT_TRUE(again->checked(QStringLiteral("chkSaveSQL")));
}

TEST(MessageBoxes, TitleIconButtonsAndLineBreaks) {
    struct Case {
        std::string text;  // what the command asks to show
        base::MessageIcon icon;
        base::MessageButtons buttons;
        base::TitleForm title;
        QString shown;  // what the box shows
        QMessageBox::Icon qtIcon;
        QMessageBox::StandardButtons qtButtons;
        QString qtTitle;
    };
    const Case cases[] = {
        {"本プログラムは既に起動されています", base::MessageIcon::kExclamation,
         base::MessageButtons::kOk, base::TitleForm::kBracketedError,
         "本プログラムは既に起動されています", QMessageBox::Warning, QMessageBox::Ok,
         "[Malvorn] - エラーメッセージ"},
        {"表\rSHOHIN\rを削除しますか？", base::MessageIcon::kQuestion, base::MessageButtons::kYesNo,
         base::TitleForm::kDeleteConfirm, "表\nSHOHIN\nを削除しますか？", QMessageBox::Question,
         QMessageBox::Yes | QMessageBox::No, "Malvorn - 削除確認"},
        {"<b>x</b>\r\nb", base::MessageIcon::kInformation, base::MessageButtons::kOk,
         base::TitleForm::kPlain, "<b>x</b>\nb", QMessageBox::Information, QMessageBox::Ok,
         "Malvorn"},
    };
    for (const Case& c : cases) {
        const auto box = QtMessageService::build(nullptr, c.text, c.icon, c.buttons, c.title);
        // Plain text: a table name is never markup.
        EXPECT_EQ(std::tuple(box->text(), box->textFormat(), box->icon(), box->standardButtons(),
                             box->windowTitle(), box->windowModality()),
                  std::tuple(c.shown, Qt::PlainText, c.qtIcon, c.qtButtons, c.qtTitle,
                             Qt::ApplicationModal));
    }
}

// The standard buttons speak Japanese once Qt's own texts are loaded, as the
// program loads them at start.
TEST(MessageBoxes, StandardButtonsInJapanese) {
    ASSERT_EQ(installJapaneseQtTexts(), QString());
    struct Case {
        base::MessageButtons buttons;
        QMessageBox::StandardButton button;
        QString text;  // without the keyboard accelerator Qt adds
    };
    const Case cases[] = {
        {base::MessageButtons::kYesNo, QMessageBox::Yes, "はい"},
        {base::MessageButtons::kYesNo, QMessageBox::No, "いいえ"},
        {base::MessageButtons::kOk, QMessageBox::Ok, "OK"},
    };
    for (const Case& c : cases) {
        const auto box = QtMessageService::build(nullptr, "x", base::MessageIcon::kQuestion,
                                                 c.buttons, base::TitleForm::kPlain);
        QAbstractButton* shown = box->button(c.button);
        ASSERT_NE(shown, nullptr) << c.text.toStdString();
        QString text = shown->text();
        text.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
        EXPECT_EQ(text, c.text);
    }
    QMessageBox cancel;
    cancel.setStandardButtons(QMessageBox::Cancel);
    EXPECT_EQ(cancel.button(QMessageBox::Cancel)->text(), QStringLiteral("キャンセル"));
}

// Input to the window is held back while it is busy, but the window is not
// disabled: the status line keeps its colours. A box over the window still
// takes its keys. Pointer and input come back on every path.
TEST(BusyState, BlocksInputNotColoursAndRestoresOnEveryPath) {
    struct Case {
        BusyState::Input input;
        bool fails;            // the command throws
        bool ownCursorBefore;  // the window had a pointer of its own
    };
    const Case cases[] = {{BusyState::Input::kAccepted, false, false},
                          {BusyState::Input::kBlocked, false, false},
                          {BusyState::Input::kBlocked, true, false},
                          {BusyState::Input::kAccepted, true, true}};
    const auto type = [](QWidget* target, const QString& key) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, key);
        QApplication::sendEvent(target, &press);
    };
    for (const Case& c : cases) {
        QWidget window;
        auto* field = new QLineEdit(&window);
        auto* status = new QLabel(QStringLiteral("35329 / 200000"), &window);
        QDialog box(&window);  // a box the command shows
        auto* answer = new QLineEdit(&box);
        if (c.ownCursorBefore)
            window.setCursor(Qt::IBeamCursor);
        try {
            BusyState busy(&window, c.input);
            EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
            EXPECT_TRUE(window.isEnabled() && status->isEnabled());
            type(field, QStringLiteral("a"));
            type(answer, QStringLiteral("y"));
            EXPECT_EQ(field->text(), c.input == BusyState::Input::kAccepted ? "a" : "");
            EXPECT_EQ(answer->text(), QStringLiteral("y"));
            if (c.fails)
                throw std::runtime_error("command failed");
        } catch (const std::runtime_error&) {
        }
        field->clear();
        type(field, QStringLiteral("b"));
        EXPECT_EQ(field->text(), QStringLiteral("b"));
        EXPECT_EQ(window.cursor().shape(), c.ownCursorBefore ? Qt::IBeamCursor : Qt::ArrowCursor);
    }
}

}  // namespace
}  // namespace malvorn::window
