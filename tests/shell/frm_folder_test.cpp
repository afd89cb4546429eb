#include "shell/ui/frm_folder.h"

#include <QApplication>
#include <QComboBox>
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

#include "shell/ui/main_window.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace malvorn::shell::ui {
namespace {

// The local file system, with folders of the test standing in for volumes.
class TestVolumes : public LocalFileSystem {
  public:
    explicit TestVolumes(std::vector<std::string> volumes) : volumes_(std::move(volumes)) {}
    std::string GetDriveName(const std::string& path) const override {
        for (const std::string& volume : volumes_)
            if (path.starts_with(volume))
                return volume;
        return LocalFileSystem::GetDriveName(path);
    }

  private:
    std::vector<std::string> volumes_;
};

// Folders: data (sales.mdb, SALES2.MDB, old.sdb, notes.txt, sub/), sql/out
// (a.sql, b.txt, c.log, deep/), and usb, a second volume with x.mdb.
class FolderDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        for (const char* folder : {"data/sub", "sql/out/deep", "usb"})
            fs::create_directories(at(folder));
        for (const char* file :
             {"data/sales.mdb", "data/SALES2.MDB", "data/old.sdb", "data/notes.txt",
              "sql/out/a.sql", "sql/out/b.txt", "sql/out/c.log", "usb/x.mdb"})
            std::ofstream(at(file)) << "x";
    }
    std::string at(const std::string& name) const { return dir.path() + "/" + name; }

    // Opens the dialog on `path` in `mode` and runs `act` once it has its
    // initial focus; returns what OK handed back, if anything.
    std::optional<std::string> run(const std::string& mode, const std::string& path,
                                   const std::function<void(frmFolder&)>& act) {
        std::optional<std::string> result;
        frmFolder dialog(FolderContext{.workArea = {0, 0, 19200, 14400},
                                       .programFolder = at("data"),
                                       .workingFolder = at("sql"),
                                       .volumes = {"/", at("usb"), at("gone")},
                                       .fso = &fso},
                         [&](const std::string& r) { result = r; });
        dialog.setPath(path);
        auto* timer = dialog.findChild<QTimer*>(QStringLiteral("timInitial"));
        QObject::connect(timer, &QTimer::timeout, &dialog, [&] {
            act(dialog);
            if (dialog.isVisible()) {
                ADD_FAILURE() << "the dialog is still open";
                dialog.reject();
            }
        });
        dialog.ShowForm(mode);
        return result;
    }

    TempDir dir;
    TestVolumes fso{{at("usb")}};
};

template <typename T>
T* child(const QWidget& dialog, const char* name) {
    T* found = dialog.findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QKeyEvent event(QEvent::KeyPress, key, modifiers);
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
        {"Folder", "*.sql;*.txt", false, "dirSource"}};
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

// Where the dialog opens and what OK returns from there; the rules for the
// start are the chooser's own tests'.
TEST_F(FolderDialog, FileModeOpensOnThePathAndOkReturnsTheSelectedFile) {
    const std::tuple<std::string, std::string, std::string, std::optional<std::string>> cases[] = {
        {at("data/sales.mdb"), at("data"), "sales.mdb", at("data/sales.mdb")},
        {at("usb/x.mdb"), at("usb"), "x.mdb", at("usb/x.mdb")},  // one separator at a root
        {"", at("data"), "", std::nullopt},  // OK without a selected file returns nothing
    };
    for (const auto& [path, folder, selected, returned] : cases) {
        const auto result = run("File", path, [&](frmFolder& dialog) {
            EXPECT_EQ(child<QLabel>(dialog, "lblPath")->text().toStdString(), folder);
            EXPECT_EQ(dialog.selectedFile(), selected);
            click(dialog, "cmdOk");
        });
        EXPECT_EQ(result, returned) << path;
    }
}

TEST_F(FolderDialog, FolderModeReturnsTheOpenedFolderNotAHighlightedOne) {
    auto result = run("Folder", at("sql/out/"), [&](frmFolder& dialog) {
        auto* tree = child<QTreeWidget>(dialog, "dirSource");
        const auto found = tree->findItems(QStringLiteral("deep"), Qt::MatchRecursive);
        ASSERT_FALSE(found.isEmpty());
        QTreeWidgetItem* deep = found.front();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          tree->visualItemRect(deep).center());
        EXPECT_EQ(tree->currentItem(), deep);
        press(tree, Qt::Key_Return);
    });
    EXPECT_EQ(result, at("sql/out"));

    result = run("Folder", at("sql/out"), [&](frmFolder& dialog) {
        openFolderItem(dialog, QStringLiteral("deep"));
        EXPECT_EQ(child<QLabel>(dialog, "lblPath")->text().toStdString(), at("sql/out/deep"));
        click(dialog, "cmdOk");
    });
    EXPECT_EQ(result, at("sql/out/deep"));
}

// The keys reach the dialog before the focused file list: Enter is OK, the
// cancel keys return nothing, also after navigating.
TEST_F(FolderDialog, KeysActBeforeTheFocusedControl) {
    const std::tuple<int, Qt::KeyboardModifiers, std::optional<std::string>> cases[] = {
        {Qt::Key_Enter, Qt::NoModifier, at("sql/out/a.sql")},
        {Qt::Key_Return, Qt::NoModifier, at("sql/out/a.sql")},
        {Qt::Key_Escape, Qt::NoModifier, std::nullopt},
        {Qt::Key_End, Qt::NoModifier, std::nullopt},
        {Qt::Key_Pause, Qt::ControlModifier, std::nullopt},
        {Qt::Key_Cancel, Qt::NoModifier, std::nullopt}};
    for (const auto& [key, modifiers, returned] : cases) {
        const auto result = run("Script", at("sql/out/a.sql"), [&](frmFolder& dialog) {
            if (!returned)
                openFolderItem(dialog, QStringLiteral("deep"));
            QWidget* files = child<QWidget>(dialog, "filDb");
            files->setFocus();
            press(files, key, modifiers);
        });
        EXPECT_EQ(result, returned) << key;
    }
}

TEST_F(FolderDialog, DriveThatCannotBeOpenedIsRefusedSilently) {
    const auto result = run("Folder", at("sql/out"), [&](frmFolder& dialog) {
        auto* drives = child<QComboBox>(dialog, "drvTarget");
        drives->setCurrentIndex(drives->findData(QString::fromStdString(at("gone"))));
        EXPECT_EQ(dialog.currentDrive(), fso.GetDriveName(at("sql/out")));
        EXPECT_EQ(dialog.currentFolder(), at("sql/out"));

        drives->setCurrentIndex(drives->findData(QString::fromStdString(at("usb"))));
        EXPECT_EQ(dialog.currentFolder(), at("usb"));
        EXPECT_EQ(dialog.fileFolder(), at("usb"));
        click(dialog, "cmdOk");
    });
    EXPECT_EQ(result, at("usb"));
}

// The main window's browse buttons open the chooser in their mode; the field
// changes only through OK.
TEST_F(FolderDialog, BrowseButtonsFillTheirFieldOnlyOnOk) {
    ScriptedMessages messages;
    frmMain window(FormContext{at("Malvorn.ini"), {0, 0, 28800, 15600}, 15, 15, {}, {}}, &messages);
    const std::string db = "[Malvorn] - データベースファイルの選択";
    const std::string script = "[Malvorn] - ＳＱＬスクリプトの選択";
    const std::tuple<int, const char*, std::string, bool, std::string, std::string> cases[] = {
        {1, "txtDbPath", at("data/sales.mdb"), true, at("data/sales.mdb"), db},
        {1, "txtDbPath", at("data/sales.mdb"), false, at("data/sales.mdb"), db},
        {2, "txtSqlFolder", at("sql/out"), true, at("sql/out"),
         "[Malvorn] - ＳＱＬ文フォルダの選択"},
        {4, "txtScriptPath", at("sql/out"), true, at("sql/out"), script},  // nothing selected
        {4, "txtScriptPath", at("sql/out/b.txt"), false, at("sql/out/b.txt"), script},
    };
    for (const auto& [index, field, start, ok, expected, title] : cases) {
        window.setText(QString::fromUtf8(field), start);
        QTimer act;
        act.setSingleShot(true);
        QObject::connect(&act, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<frmFolder*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            EXPECT_EQ(dialog->windowTitle().toStdString(), title);
            if (ok)
                click(*dialog, "cmdOk");
            else
                press(dialog, Qt::Key_Escape);
        });
        act.start(0);
        window.ui().cmdRef[static_cast<std::size_t>(index)]->click();
        EXPECT_EQ(window.text(QString::fromUtf8(field)), expected) << index;
    }

    window.setTag("unchanged");
    cmdRef_Click(window, 3);  // no dialog: it would never return
    EXPECT_EQ(window.tag(), "unchanged");
}

}  // namespace
}  // namespace malvorn::shell::ui
