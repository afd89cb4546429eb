#include "shell/ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <map>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

#include "convert/fixed_scripts.h"
#include "shell/files.h"
#include "shell/ui/busy_state.h"
#include "shell/ui/qt_messages.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace malvorn::shell::ui {
namespace {

class MainWindow : public ::testing::Test {
  protected:
    std::unique_ptr<frmMain> open(const std::string& iniPath) {
        return std::make_unique<frmMain>(FormContext{iniPath, {0, 0, 28800, 15600}, 15, 15, {}, {}},
                                         &messages);
    }
    std::string ini() const { return dir.path() + "/Malvorn.ini"; }

    TempDir dir;
    ScriptedMessages messages;
};

std::vector<int> visiblePages(const frmMain& window) {
    std::vector<int> shown;
    for (int k = 1; k <= 4; ++k)
        if (!window.control(QStringLiteral("fraTab"), k)->isHidden())
            shown.push_back(k);
    return shown;
}

TEST_F(MainWindow, FirstStartWithoutSettingsFile) {
    auto window = open(ini());
    const std::map<std::string, std::string> filled{{"txtSystem", "system"},
                                                    {"txtPassOfSystem", "tarnbol"},
                                                    {"txtLFIDNO", convert::lfidnoDefinitionText()}};
    for (const TextBox& box : window->textBoxes())  // the tablespace boxes empty too
        EXPECT_EQ(box.text, filled.contains(box.name) ? filled.at(box.name) : "") << box.name;
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Malvorn (ADO)"));
    EXPECT_EQ(window->text(QStringLiteral("lblMsg")), "");
    EXPECT_EQ(window->selectedTab(), 1);
    EXPECT_EQ(visiblePages(*window), std::vector<int>{1});
    const std::pair<const char*, bool> states[] = {
        {"chkNotNull", false}, {"chkCreateHyou", true}, {"chkSaveSQL", true}, {"chkClear", false}};
    for (const auto& [name, on] : states)
        EXPECT_EQ(window->checked(QString::fromUtf8(name)), on) << name;
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(fileExists(ini()));  // loading writes nothing
}

// The close box saves as 終了 does; what was saved comes back, cleared
// connection fields as their defaults. The LFIDNO box, the table box and the
// check boxes are not kept.
TEST_F(MainWindow, EndButtonAndCloseBoxSaveAlikeAndReload) {
    const std::pair<const char*, std::string> values[] = {
        {"txtUserID", "営業部"},
        {"txtDbPath", "/home/taro/データ/販売管理.mdb"},
        {"txtSQL", "SELECT 表名\r\n  FROM LFIDNO\r\n\r\n WHERE IDNO > 1"}};
    const std::string viaButton = dir.path() + "/button.ini";
    const std::string viaCloseBox = dir.path() + "/closebox.ini";
    for (const auto& path : {viaButton, viaCloseBox}) {
        auto window = open(path);
        window->ShowForm();
        for (const auto& [box, text] : values)
            window->setText(QString::fromUtf8(box), text);
        window->setText(QStringLiteral("txtSystem"), "   ");
        window->setText(QStringLiteral("txtPassOfSystem"), "");
        window->setText(QStringLiteral("txtLFIDNO"), "edited");
        window->setText(QStringLiteral("cboTable"), "SHOHIN");
        qobject_cast<QCheckBox*>(window->control(QStringLiteral("chkSaveSQL")))->setChecked(false);
        if (path == viaButton)
            window->button(QStringLiteral("cmdEnd"))->click();
        else
            EXPECT_TRUE(window->close());  // what the window manager's close box sends
        EXPECT_FALSE(window->isVisible());
    }
    ASSERT_TRUE(fileExists(viaButton));
    EXPECT_EQ(readFileBytes(viaButton), readFileBytes(viaCloseBox));
    auto again = open(viaButton);
    std::vector<std::pair<const char*, std::string>> reloaded(std::begin(values), std::end(values));
    reloaded.insert(reloaded.end(), {{"txtSystem", "system"},
                                     {"txtPassOfSystem", "tarnbol"},
                                     {"txtLFIDNO", convert::lfidnoDefinitionText()},
                                     {"cboTable", ""}});
    for (const auto& [box, text] : reloaded)
        EXPECT_EQ(again->text(QString::fromUtf8(box)), text) << box;
    EXPECT_TRUE(again->checked(QStringLiteral("chkSaveSQL")));
}

TEST_F(MainWindow, PageSwitchShowsExactlyTheSelectedPage) {
    auto window = open(ini());
    window->ShowForm();
    window->setText(QStringLiteral("txtNetServiceName"), "ORCL");
    auto* tabs = window->findChild<QTabBar*>();
    ASSERT_NE(tabs, nullptr);
    for (int tab : {4, 2, 3, 1, 4}) {
        tabs->setCurrentIndex(tab - 1);  // as a click on the tab does
        EXPECT_EQ(window->selectedTab(), tab);
        EXPECT_EQ(visiblePages(*window), std::vector<int>{tab});
        for (const char* always : {"Frame1", "txtSystem", "cmdEnd", "lblMsg"})
            EXPECT_TRUE(window->control(QString::fromUtf8(always))->isVisible()) << always;
        EXPECT_EQ(window->text(QStringLiteral("txtNetServiceName")), "ORCL");
    }
}

// The designed faces are not installed: a box that shows SQL must still get
// a fixed-pitch font, a connection field a proportional one.
TEST_F(MainWindow, BoxesGetTheSubstitutedFonts) {
    auto window = open(ini());
    const std::pair<const char*, bool> boxes[] = {{"txtSQL", true}, {"txtSystem", false}};
    for (const auto& [name, fixed] : boxes) {
        const QFont font = window->control(QString::fromUtf8(name))->font();
        const QFontMetrics metrics(font);
        EXPECT_EQ(metrics.horizontalAdvance(QLatin1Char('i')) ==
                      metrics.horizontalAdvance(QLatin1Char('M')),
                  fixed)
            << name;
        EXPECT_EQ(QFontInfo(font).family(), fixed ? QStringLiteral("Noto Sans Mono CJK JP")
                                                  : QStringLiteral("Noto Sans CJK JP"));
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 11.25);
    }
}

TEST_F(MainWindow, CentredOnTheWorkAreaWithItsOffset) {
    // 792 x 649 pixels is 11880 x 9735 twips.
    const std::tuple<WorkArea, QPoint> cases[] = {
        {{0, 0, 28800, 15600}, {564, 196}},
        {{0, 480, 28800, 15120}, {564, 212}},  // panel at the top
        {{960, 0, 27840, 15600}, {596, 196}},  // panel at the left
        {{0, 0, 9000, 6000}, {-96, -125}},     // larger than the area: not clamped
    };
    for (const auto& [area, expected] : cases) {
        frmMain window(FormContext{ini(), area, 15, 15, {}, {}}, &messages);
        EXPECT_EQ(window.pos(), expected);
    }
}

TEST(MessageBoxes, TitleIconButtonsAndLineBreaks) {
    const std::tuple<std::string, MessageIcon, MessageButtons, TitleForm, QString,
                     QMessageBox::Icon, QMessageBox::StandardButtons, QString>
        cases[] = {
            {"本プログラムは既に起動されています", MessageIcon::kExclamation, MessageButtons::kOk,
             TitleForm::kBracketedError, "本プログラムは既に起動されています", QMessageBox::Warning,
             QMessageBox::Ok, "[Malvorn] - エラーメッセージ"},
            {"表\rSHOHIN\rを削除しますか？", MessageIcon::kQuestion, MessageButtons::kYesNo,
             TitleForm::kDeleteConfirm, "表\nSHOHIN\nを削除しますか？", QMessageBox::Question,
             QMessageBox::Yes | QMessageBox::No, "Malvorn - 削除確認"},
            {"<b>x</b>\r\nb", MessageIcon::kInformation, MessageButtons::kOk, TitleForm::kPlain,
             "<b>x</b>\nb", QMessageBox::Information, QMessageBox::Ok, "Malvorn"},
        };
    for (const auto& [text, icon, buttons, title, shown, qtIcon, qtButtons, qtTitle] : cases) {
        const auto box = QtMessageService::build(nullptr, text, icon, buttons, title);
        // Plain text: a table name is never markup.
        EXPECT_EQ(
            std::tuple(box->text(), box->textFormat(), box->icon(), box->standardButtons(),
                       box->windowTitle(), box->windowModality()),
            std::tuple(shown, Qt::PlainText, qtIcon, qtButtons, qtTitle, Qt::ApplicationModal));
    }
}

TEST(MessageBoxes, ShownModalAndAnswerComesBack) {
    QtMessageService service(nullptr);
    for (const auto& [press, answer] : {std::pair{QMessageBox::No, MessageAnswer::kNo},
                                        std::pair{QMessageBox::Yes, MessageAnswer::kYes}}) {
        QTimer::singleShot(0, [press = press] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            box->button(press)->click();
        });
        EXPECT_EQ(service.show("削除しますか", MessageIcon::kQuestion, MessageButtons::kYesNo,
                               TitleForm::kDeleteConfirm),
                  answer);
    }
}

TEST(BusyState, RestoresPointerAndInputOnEveryPath) {
    const std::tuple<BusyState::Input, bool, bool> cases[] = {
        {BusyState::Input::kAccepted, false, false},
        {BusyState::Input::kBlocked, false, false},
        {BusyState::Input::kBlocked, true, false},
        {BusyState::Input::kAccepted, true, true}};
    for (const auto& [input, fails, ownCursorBefore] : cases) {
        QWidget window;
        if (ownCursorBefore)
            window.setCursor(Qt::IBeamCursor);
        try {
            BusyState busy(&window, input);
            EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
            EXPECT_EQ(window.isEnabled(), input == BusyState::Input::kAccepted);
            if (fails)
                throw std::runtime_error("command failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_TRUE(window.isEnabled());
        EXPECT_EQ(window.cursor().shape(), ownCursorBefore ? Qt::IBeamCursor : Qt::ArrowCursor);
    }
}

}  // namespace
}  // namespace malvorn::shell::ui
