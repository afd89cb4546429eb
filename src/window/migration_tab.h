#pragma once

// The page "データベース移行": a whole Jet database migrated by the core's
// migrateDatabase, the command line's migrate, on a worker thread while the
// window keeps painting and answering Esc.
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/migrate.h"
#include "window/migration_run.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace malvorn::window {

class frmMain;

// The tab's own section of the settings file; the window's stays as it is.
inline constexpr std::string_view kMigrationSection = "frmMigration";

// The controls by their names (each also the object name).
struct MigrationControls {
    QLineEdit* txtMigDbPath = nullptr;
    QPushButton* cmdMigRef = nullptr;  // the database file
    QListWidget* lstMigTables = nullptr;
    QCheckBox* chkMigOracleSafe = nullptr;
    QCheckBox* chkMigVerify = nullptr;
    QCheckBox* chkMigReplace = nullptr;
    QCheckBox* chkMigClear = nullptr;
    QCheckBox* chkMigNotNull = nullptr;
    QCheckBox* chkMigBulk = nullptr;
    QCheckBox* chkMigShortTables = nullptr;
    QCheckBox* chkMigViews = nullptr;
    QCheckBox* chkMigAllowInvalid = nullptr;
    QLineEdit* txtMigSqlFolder = nullptr;
    QPushButton* cmdMigSqlRef = nullptr;  // the SQL folder
    QLineEdit* txtMigTablespace = nullptr;
    QLineEdit* txtMigIndex = nullptr;
    QPushButton* cmdMigStart = nullptr;
    QPushButton* cmdMigCancel = nullptr;
    QPushButton* cmdMigResume = nullptr;
    QPushButton* cmdMigSaveReport = nullptr;
    QLabel* lblMigCurrent = nullptr;
    QProgressBar* barMigAll = nullptr;
    QTableWidget* tblMigResult = nullptr;
    QLabel* lblMigSummary = nullptr;
};

class MigrationTab : public QWidget, private MigrationView {
    Q_OBJECT

  public:
    // Fills `page` of `window`; the connection fields, the sessions, the Jet
    // reader, the boxes and the settings file are the window's.
    MigrationTab(frmMain& window, QWidget* page);
    ~MigrationTab() override;

    const MigrationControls& ui() const { return ui_; }
    bool running() const { return worker_.joinable(); }
    const core::MigrateReport& report() const { return report_; }
    core::Outcome lastOutcome() const { return lastOutcome_; }

    // Reads the table list of the file in txtMigDbPath, all checked.
    void listTables();
    // 開始 (a new run) and 再開 (the interrupted run the journal records).
    void start(bool resume);
    // キャンセル or Esc: the run stops at the next row, batch or table.
    void cancel();
    // Writes the last run's report as the command line's --report does.
    bool saveReport(const std::string& path);
    void saveSettings() const;
    // What the page's fields ask of the core's migration.
    core::MigrateFields gatherFields(bool resume) const;
    // Where the journal that 再開 reads is kept: beside the settings file.
    std::string journalPath() const;

  signals:
    void tableStarted(const QString& table);
    void runEnded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The page shown with a saved path lists its tables once.
    void showEvent(QShowEvent* event) override;

  private:
    void buildControls();
    void connectControls();
    void loadSettings();
    void setRunning(bool running);
    void finishRun(core::Outcome outcome);
    void focusField(core::Field field);
    void cmdMigRef_Click(bool folder);
    void cmdMigSaveReport_Click();

    void showTableStarted(const std::string& table, std::size_t number, std::size_t total) override;
    void showRows(std::int64_t done, std::int64_t total) override;
    void showTableFinished(const core::TableOutcome& outcome) override;

    frmMain& window_;
    MigrationControls ui_;
    std::string listed_;   // the path the table list was read from
    std::string current_;  // the table being migrated, as "[n/total] name"
    int currentRow_ = -1;  // its row in the result table
    core::MigrateReport report_;
    core::Outcome lastOutcome_ = core::Outcome::kRefused;
    bool verify_ = false;  // the run being shown verifies values
    std::atomic<bool> stop_{false};
    std::atomic<bool> closing_{false};
    std::atomic<bool> done_{false};
    std::thread worker_;
};

}  // namespace malvorn::window
