// The window under the offscreen platform, against a local server and a Jet
// file made by the builder. The page データベース移行: the run on its worker
// thread, the result table, cancel and 再開, the report and the page's
// settings. The Jet tab's buttons: what the xdotool runs do not look at.
#include "window/migration_tab.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "base/files.h"
#include "core/migrate_report.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "platform/settings_file.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "window/main_window.h"

namespace malvorn::window {
namespace {

class MigrationPage : public localserver::ServerTest {
  protected:
    void SetUp() override {
        appUser();
        std::vector<std::vector<testing::JetBuildValue>> many;
        for (std::int64_t i = 1; i <= 300; ++i)
            many.push_back({i, "名前" + std::to_string(i)});
        testing::writeJetFile(
            db_, {{"SHOHIN",
                   {{"CODE", 10, 10}, {"QTY", 4}},
                   {{"pkkey", {"CODE"}, true}},
                   {{"A1", std::int64_t{1}}, {"A2", std::int64_t{2}}}},
                  {"TOKUI", {{"ID", 4}, {"NAME", 10, 20}}, {{"pk", {"ID"}, true}}, many}});
    }

    std::unique_ptr<frmMain> openWindow(int tab = 5) {
        const FormContext context{
            ini_,
            {0, 0, 28800, 15600},
            15,
            15,
            core::sessionOpener({localserver::openLocalServer, {}}),
            [](const std::string& path) { return jet::openJetFileHere(path); }};
        auto window = std::make_unique<frmMain>(context, &messages_);
        window->ShowForm();
        const MainControls& ui = window->ui();
        ui.txtSystem->setText("scott");
        ui.txtPassOfSystem->setText("tiger");
        ui.txtNetServiceName->setText(QString::fromStdString(folder()));
        window->selectTab(tab);
        return window;
    }

    static MigrationTab& page(const frmMain& window) {
        return *window.findChild<MigrationTab*>(QStringLiteral("MigrationTab"));
    }

    // Starts the run (or 再開) and waits for its end.
    static void run(MigrationTab& tab, QPushButton* button) {
        QSignalSpy ended(&tab, &MigrationTab::runEnded);
        button->click();
        ASSERT_TRUE(tab.running());
        ASSERT_TRUE(ended.wait(120000));
        EXPECT_FALSE(tab.running());
    }

    static std::vector<std::string> resultRow(const MigrationTab& tab, int row) {
        std::vector<std::string> cells;
        for (int column = 0; column < tab.ui().tblMigResult->columnCount(); ++column)
            cells.push_back(tab.ui().tblMigResult->item(row, column)->text().toStdString());
        return cells;
    }

    std::string db_ = dir_.path() + "/shop.mdb", ini_ = dir_.path() + "/Malvorn.ini";
    ScriptedMessages messages_;
};

// The checked tables only, verified value by value; the result table, the
// summary and the status line say so; the report is the command line's; the
// page's fields come back from a section of their own.
TEST_F(MigrationPage, MigratesTheCheckedTablesVerifiedAndSavesTheReport) {
    auto window = openWindow();
    MigrationTab& tab = page(*window);
    const MigrationControls& ui = tab.ui();
    EXPECT_TRUE(ui.chkMigOracleSafe->isChecked() && ui.chkMigVerify->isChecked());
    ui.txtMigDbPath->setText(QString::fromStdString(db_));
    tab.listTables();
    ASSERT_EQ(ui.lstMigTables->count(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(ui.lstMigTables->item(i)->checkState(), Qt::Checked);
    ui.lstMigTables->findItems("TOKUI", Qt::MatchExactly).front()->setCheckState(Qt::Unchecked);

    run(tab, ui.cmdMigStart);
    EXPECT_EQ(tab.lastOutcome(), core::Outcome::kDone);
    ASSERT_EQ(ui.tblMigResult->rowCount(), 1);
    EXPECT_EQ(resultRow(tab, 0), (std::vector<std::string>{"SHOHIN", "2", "2", "2", "完了"}));
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT SUM(QTY) FROM SHOHIN"), "3");
    EXPECT_EQ(ui.lblMigSummary->text().toStdString(),
              "移行 完了: 1 / 1 表 完了、読んだ行 2、照合した行 2");
    EXPECT_EQ(window->ui().lblMsg->text().toStdString(), "データベース移行 完了");
    EXPECT_TRUE(messages_.shown.empty());
    EXPECT_TRUE(ui.cmdMigSaveReport->isEnabled());

    const std::string report = dir_.path() + "/report.json";
    ASSERT_TRUE(tab.saveReport(report));
    EXPECT_EQ(base::readFileBytes(report), core::migrateReportJson(tab.report()));
    EXPECT_FALSE(tab.saveReport(dir_.path() + "/no/such/folder/report.json"));
    EXPECT_EQ(messages_.shown.size(), 1u);

    window->close();
    EXPECT_EQ(platform::gfReadIni(ini_, kMigrationSection, "txtMigDbPath"), db_);
    EXPECT_EQ(platform::gfReadIni(ini_, platform::kMainFormSection, "txtSystem"), "scott");
    auto again = openWindow();
    EXPECT_EQ(page(*again).ui().txtMigDbPath->text().toStdString(), db_);
    EXPECT_EQ(page(*again).ui().txtMigTablespace->text().toStdString(), "users");
}

// Each option box reaches the field of the core's migration it names, with
// the defaults a first run of a whole database wants.
TEST_F(MigrationPage, EachOptionBoxSetsItsField) {
    auto window = openWindow();
    MigrationTab& tab = page(*window);
    const MigrationControls& ui = tab.ui();
    struct Box {
        QCheckBox* box;
        bool byDefault;
        std::function<bool(const core::MigrateFields&)> field;
    };
    const Box boxes[] = {
        {ui.chkMigOracleSafe, true, [](const auto& f) { return f.oracleSafe; }},
        {ui.chkMigVerify, true, [](const auto& f) { return f.verify; }},
        {ui.chkMigViews, true, [](const auto& f) { return f.views; }},
        {ui.chkMigAllowInvalid, false, [](const auto& f) { return f.allowInvalid; }},
        {ui.chkMigReplace, false, [](const auto& f) { return f.replace; }},
        {ui.chkMigShortTables, false, [](const auto& f) { return f.acceptShortTables; }},
    };
    for (const Box& b : boxes) {
        SCOPED_TRACE(b.box->objectName().toStdString());
        EXPECT_EQ(b.box->isChecked(), b.byDefault);
        EXPECT_EQ(b.field(tab.gatherFields(false)), b.byDefault);
        b.box->setChecked(!b.byDefault);
        EXPECT_EQ(b.field(tab.gatherFields(false)), !b.byDefault);
    }
}

// Esc while the first table begins stops the run there, the window still
// taking input; 再開 takes it up from the journal and finishes every table,
// each row once.
TEST_F(MigrationPage, EscapeStopsTheRunAndResumeFinishesIt) {
    auto window = openWindow();
    MigrationTab& tab = page(*window);
    const MigrationControls& ui = tab.ui();
    ui.txtMigDbPath->setText(QString::fromStdString(db_));
    tab.listTables();
    QObject::connect(&tab, &MigrationTab::tableStarted, &tab, [&](const QString& table) {
        if (table != QStringLiteral("TOKUI"))
            return;
        EXPECT_TRUE(window->isEnabled() && ui.lblMigCurrent->isEnabled());
        QTest::keyClick(ui.tblMigResult, Qt::Key_Escape);  // through the window's shortcuts
    });
    window->activateWindow();
    run(tab, ui.cmdMigStart);
    EXPECT_EQ(tab.lastOutcome(), core::Outcome::kInterrupted);
    ASSERT_EQ(ui.tblMigResult->rowCount(), 2);
    EXPECT_EQ(resultRow(tab, 1).back(), "中断");
    EXPECT_EQ(window->ui().lblMsg->text().toStdString(), "データベース移行 中断");

    QObject::disconnect(&tab, &MigrationTab::tableStarted, nullptr, nullptr);
    run(tab, ui.cmdMigResume);
    EXPECT_EQ(tab.lastOutcome(), core::Outcome::kDone) << ui.lblMigSummary->text().toStdString();
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT COUNT(*) FROM TOKUI"), "300");
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT COUNT(DISTINCT ID) FROM TOKUI"), "300");
    const auto last = resultRow(tab, ui.tblMigResult->rowCount() - 1);
    EXPECT_EQ(last, (std::vector<std::string>{"TOKUI", last[1], "300", last[3], "完了"}));
    EXPECT_TRUE(messages_.shown.empty());
}

// The close box under a run does not close the window: it asks the run to
// stop. Once the run has ended the window closes.
TEST_F(MigrationPage, ClosingUnderARunStopsItFirst) {
    auto window = openWindow();
    MigrationTab& tab = page(*window);
    tab.ui().txtMigDbPath->setText(QString::fromStdString(db_));
    tab.listTables();
    bool closed = true;
    QObject::connect(&tab, &MigrationTab::tableStarted, &tab, [&](const QString& table) {
        if (table == QStringLiteral("TOKUI"))
            closed = window->close();
    });
    run(tab, tab.ui().cmdMigStart);
    EXPECT_FALSE(closed);
    EXPECT_EQ(tab.lastOutcome(), core::Outcome::kInterrupted);
    EXPECT_TRUE(window->close());
}

TEST_F(MigrationPage, JetTabListsConvertsWritesTheBatchAndCopies) {
    auto window = openWindow(2);
    window->activateWindow();
    QApplication::processEvents();
    const MainControls& ui = window->ui();
    const std::string sql = dir_.path() + "/sql";
    ui.txtDbPath->setText(QString::fromStdString(db_));
    ui.cboTable->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(ui.cboTable->count(), 2);
    EXPECT_EQ(ui.cboTable->itemText(0), QStringLiteral("SHOHIN"));
    ui.cboTable->setCurrentIndex(0);

    // A check sends the focus to its field and the run stops there.
    ui.txtTablespace->setText("users");
    ui.txtIndex->setText(" ");
    ui.cmdConvert->click();
    EXPECT_EQ(QApplication::focusWidget(), ui.txtIndex);
    EXPECT_EQ(messages_.shown.size(), 1u);  // its text is the core's tests'

    std::filesystem::create_directory(sql);
    ui.txtIndex->setText("indx");
    ui.txtSqlFolder->setText(QString::fromStdString(sql));
    ui.cmdConvert->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "SHOHIN 完了");
    EXPECT_TRUE(base::fileExists(sql + "/SHOHIN.sql"));
    EXPECT_TRUE(base::fileExists(ini_));                   // saved by the run
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);  // the pointer is back

    ui.cmdCreateBatch->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "ＳＱＬバッチ作成 完了");
    EXPECT_EQ(messages_.shown.size(), 1u);

    // The data copy: the last row's count stays on the status line, no box.
    ui.cmdStart->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "2 / 2");
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT SUM(QTY) FROM SHOHIN"), "3");
    EXPECT_EQ(messages_.shown.size(), 1u);
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace malvorn::window
