#include "window/frm_folder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"
#include "window/main_window.h"

namespace malvorn::window {
namespace {

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

TEST_F(FolderDialog, OkReturnsTheSelectedFileOrTheOpenedFolder) {
    EXPECT_EQ(run("File", at("data/sales.mdb"), [](frmFolder& d) { click(d, "cmdOk"); }),
              at("data/sales.mdb"));
    EXPECT_EQ(
        run("Folder", at("sql/out"),
            [](frmFolder& d) { openFolderItem(d, QStringLiteral("deep")), click(d, "cmdOk"); }),
        at("sql/out/deep"));
}

// The main window's browse buttons open the chooser in their mode; the field
// changes only through OK (key 0: the button). Keys reach the dialog first.
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
    };
    const Case cases[] = {
        {1, "txtDbPath", at("data/sales.mdb"), Qt::Key_Enter, at("data/SALES2.MDB"), db},
        {1, "txtDbPath", at("data/sales.mdb"), Qt::Key_Escape, at("data/sales.mdb"), db},
        {2, "txtSqlFolder", at("sql/out"), 0, at("sql/out"), "[Malvorn] - ＳＱＬ文フォルダの選択"},
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
