// The Jet tab's buttons under the offscreen platform, against a local server
// and a Jet file made by the builder: what the xdotool runs do not look at.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include <gtest/gtest.h>

#include "base/files.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/local_server.h"
#include "localserver/server_fixture.h"
#include "support/qt_application.h"
#include "support/scripted_messages.h"
#include "window/main_window.h"

namespace malvorn::window {
namespace {

class WindowCommands : public localserver::ServerTest {};

TEST_F(WindowCommands, JetTabListsConvertsWritesTheBatchAndCopies) {
    appUser();
    const std::string db = dir_.path() + "/shop.mdb", sql = dir_.path() + "/sql";
    testing::writeJetFile(db, {{"SHOHIN",
                                {{"CODE", 10, 10}, {"QTY", 4}},
                                {{"pkkey", {"CODE"}, true}},
                                {{"A1", std::int64_t{1}}, {"A2", std::int64_t{2}}}},
                               {"MSysX", {{"X", 4}}, {}, {}}});
    ScriptedMessages messages;
    const FormContext context{dir_.path() + "/Malvorn.ini",
                              {0, 0, 28800, 15600},
                              15,
                              15,
                              core::sessionOpener({localserver::openLocalServer, {}}),
                              [](const std::string& path) { return jet::openJetFileHere(path); }};
    frmMain window(context, &messages);
    window.ShowForm();
    window.activateWindow();
    QApplication::processEvents();
    const MainControls& ui = window.ui();
    ui.txtSystem->setText("scott");
    ui.txtPassOfSystem->setText("tiger");
    ui.txtNetServiceName->setText(QString::fromStdString(folder()));
    window.selectTab(2);
    ui.txtDbPath->setText(QString::fromStdString(db));
    ui.cboTable->setFocus(Qt::TabFocusReason);
    ASSERT_EQ(ui.cboTable->count(), 1);
    EXPECT_EQ(ui.cboTable->itemText(0), QStringLiteral("SHOHIN"));
    ui.cboTable->setCurrentIndex(0);

    // A check sends the focus to its field and the run stops there.
    ui.txtTablespace->setText("users");
    ui.txtIndex->setText(" ");
    ui.cmdConvert->click();
    EXPECT_EQ(QApplication::focusWidget(), ui.txtIndex);
    EXPECT_EQ(messages.shown.size(), 1u);  // its text is the core's tests'

    std::filesystem::create_directory(sql);
    ui.txtIndex->setText("indx");
    ui.txtSqlFolder->setText(QString::fromStdString(sql));
    ui.cmdConvert->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "SHOHIN 完了");
    EXPECT_TRUE(base::fileExists(sql + "/SHOHIN.sql"));
    EXPECT_TRUE(base::fileExists(dir_.path() + "/Malvorn.ini"));  // saved by the run
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);          // the pointer is back

    ui.cmdCreateBatch->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "ＳＱＬバッチ作成 完了");
    EXPECT_EQ(messages.shown.size(), 1u);

    // The data copy: the last row's count stays on the status line, no box.
    ui.cmdStart->click();
    EXPECT_EQ(ui.lblMsg->text().toStdString(), "2 / 2");
    EXPECT_EQ(open("scott", "tiger")->queryValue("SELECT SUM(QTY) FROM SHOHIN"), "3");
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace malvorn::window
