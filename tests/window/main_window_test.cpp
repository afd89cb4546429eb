// The window and the folder chooser under the offscreen platform: what the
// xdotool runs of each tab and the core's command tests do not reach.
#include "window/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>

#include <gtest/gtest.h>

#include "base/files.h"
#include "convert/fixed_scripts.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "window/busy_state.h"
#include "window/frm_folder.h"
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

template <typename T>
T* child(const QWidget& dialog, const char* name) {
    return dialog.findChild<T*>(QString::fromUtf8(name));
}

// Folders: data (sales.mdb, SALES2.MDB) and sql/out (a.sql, b.txt, c.log, deep/).
class FolderDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(at("sql/out/deep"));
        std::filesystem::create_directories(at("data"));
        for (const char* file : {"data/sales.mdb", "data/SALES2.MDB", "sql/out/a.sql",
                                 "sql/out/b.txt", "sql/out/c.log"})
            std::ofstream(at(file)) << "x";
    }
    std::string at(const std::string& name) const { return dir.path() + "/" + name; }

    // Opens the dialog on `path` in `mode` and runs `act` once it has its
    // initial focus; returns what OK handed back, if anything.
    std::optional<std::string> run(const std::string& mode, const std::string& path,
                                   const std::function<void(frmFolder&)>& act) {
        frmFolder dialog(FolderContext{.workArea = {0, 0, 19200, 14400},
                                       .programFolder = at("data"),
                                       .workingFolder = at("sql"),
                                       .volumes = {"/"}});
        dialog.setPath(path);
        QObject::connect(child<QTimer>(dialog, "timInitial"), &QTimer::timeout, &dialog, [&] {
            act(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog.reject();
            }
        });
        return dialog.ShowForm(mode);
    }

    TempDir dir;
};

void press(QWidget* target, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void click(frmFolder& dialog, const char* name) {
    QTest::mouseClick(child<QWidget>(dialog, name), Qt::LeftButton);
}

// What a user's double click delivers: press, release, then the double click.
void openFolderItem(const frmFolder& dialog, const QString& text) {
    auto* tree = child<QTreeWidget>(dialog, "dirSource");
    const auto items = tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    ASSERT_FALSE(items.isEmpty()) << text.toStdString();
    const QPoint at = tree->visualItemRect(items.front()).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
}

// Each mode's title is seen through the main window's buttons below.
TEST_F(FolderDialog, EachModeSetsPatternFileListAndFocus) {
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"File", "*.mdb", true, "filDb"},
        {"Script", "*.sql", true, "filDb"},
        {"Folder", "*.sql;*.txt", false, "dirSource"},
        {"Database", "*.mdb;*.accdb", true, "filDb"}};
    for (const auto& [mode, pattern, selectable, focus] : cases) {
        run(mode, at("sql/out/"), [&](frmFolder& dialog) {
            EXPECT_EQ(child<QLabel>(dialog, "lblExp")->text().toStdString(), pattern);
            EXPECT_EQ(dialog.focusWidget()->objectName().toStdString(), focus) << mode;
            EXPECT_EQ(dialog.size(), QSize(351, 192));
            if (!selectable) {
                auto* files = child<QListWidget>(dialog, "filDb");
                EXPECT_EQ(dialog.files(), (std::vector<std::string>{"a.sql", "b.txt"}));
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {},
                                  files->visualItemRect(files->item(0)).center());
                EXPECT_EQ(dialog.selectedFile(), "");
            }
            click(dialog, "cmdCan");
        });
    }
}

// It opens at its designed size and can be made larger, never smaller; the
// lists take the new room and the buttons and labels stay inside and visible.
TEST_F(FolderDialog, GrowsWithItsListsAndKeepsTheRestInside) {
    run("File", at("data/sales.mdb"), [&](frmFolder& dialog) {
        const QSize designed(351, 192);
        EXPECT_EQ(dialog.size(), designed);
        EXPECT_EQ(dialog.minimumSize(), designed);
        EXPECT_GT(dialog.maximumWidth(), designed.width());
        auto* folders = child<QWidget>(dialog, "dirSource");
        auto* files = child<QWidget>(dialog, "filDb");
        const QSize foldersBefore = folders->size(), filesBefore = files->size();
        dialog.resize(designed * 2);
        QApplication::processEvents();  // the platform's resize comes back as an event
        ASSERT_EQ(dialog.size(), designed * 2);
        for (const auto& [list, before] :
             {std::pair{folders, foldersBefore}, {files, filesBefore}}) {
            EXPECT_GT(list->width(), before.width() + 100) << list->objectName().toStdString();
            EXPECT_GT(list->height(), before.height() + 150) << list->objectName().toStdString();
        }
        EXPECT_LE(folders->geometry().right(), files->geometry().left());
        for (const char* name : {"lblExp", "cmdOk", "cmdCan", "lblPath"}) {
            const QRect at = child<QWidget>(dialog, name)->geometry();
            EXPECT_TRUE(dialog.rect().contains(at)) << name;
            EXPECT_FALSE(at.intersects(files->geometry()) || at.intersects(folders->geometry()))
                << name;
        }
        click(dialog, "cmdOk");
    });
}

// The main window's browse buttons open the chooser in their mode; the field
// changes only through OK (key 0: the button), to the selected file or the
// opened folder. Keys reach the dialog first.
TEST_F(FolderDialog, BrowseButtonsFillTheirFieldOnlyOnOk) {
    ScriptedMessages messages;
    frmMain window(FormContext{at("Malvorn.ini"), {0, 0, 28800, 15600}, 15, 15, {}, {}}, &messages);
    const std::string db = "[Malvorn] - データベースファイルの選択";
    struct Case {
        int button;  // the index of the 参照 button
        const char* field;
        std::string start;  // the field's text before
        int key;            // that ends the dialog; 0: a click on OK
        std::string expected;
        std::string title;
        const char* opened = nullptr;  // a folder double-clicked first
    };
    const Case cases[] = {
        {1, "txtDbPath", at("data/sales.mdb"), Qt::Key_Enter, at("data/SALES2.MDB"), db},
        {1, "txtDbPath", at("data/sales.mdb"), Qt::Key_Escape, at("data/sales.mdb"), db},
        {2, "txtSqlFolder", at("sql/out"), 0, at("sql/out/deep"),
         "[Malvorn] - ＳＱＬ文フォルダの選択", "deep"},
        {4, "txtScriptPath", at("sql/out"), 0, at("sql/out"),  // nothing selected
         "[Malvorn] - ＳＱＬスクリプトの選択"},
    };
    for (const Case& c : cases) {
        window.setText(QString::fromUtf8(c.field), c.start);
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<frmFolder*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle().toStdString(), c.title);
            auto* files = child<QListWidget>(*dialog, "filDb");
            if (c.opened)
                openFolderItem(*dialog, QString::fromUtf8(c.opened));
            if (c.button == 1)  // another file, so that only OK can change the field
                files->setCurrentItem(files->findItems("SALES2.MDB", Qt::MatchExactly).value(0));
            c.key ? press(files, c.key) : click(*dialog, "cmdOk");
        });
        window.ui().cmdRef[static_cast<std::size_t>(c.button)]->click();
        EXPECT_EQ(window.text(QString::fromUtf8(c.field)), c.expected) << c.button;
    }
}

}  // namespace
}  // namespace malvorn::window
