#include "window/migration_tab.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>

#include "base/files.h"
#include "convert/script_files.h"
#include "core/migrate_report.h"
#include "platform/settings_file.h"
#include "window/design_units.h"
#include "window/fonts.h"
#include "window/frm_folder.h"
#include "window/main_window.h"

namespace malvorn::window {

namespace {

// Rows per batch when 一括 is checked: the command line's --bulk default.
constexpr std::size_t kBulkBatch = 1000;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Places `widget` at a designed position (twips) and names it.
template <typename T>
T* place(T* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromUtf8(name));
    widget->setGeometry(twipsToPixels(left, top, width, height));
    return widget;
}

// A caption in front of a field, white on dark blue as on the other pages.
QLabel* caption(QWidget* parent, const char* text, int left, int top, int width) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    QPalette colours = label->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 128));
    colours.setColor(QPalette::WindowText, Qt::white);
    label->setAutoFillBackground(true);
    label->setPalette(colours);
    label->setGeometry(twipsToPixels(left, top, width, 375));
    return label;
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width, int height) {
    auto* made =
        place(new QPushButton(QString::fromUtf8(text), parent), name, left, top, width, height);
    made->setFont(buttonFont());
    made->setAutoDefault(false);
    return made;
}

QCheckBox* check(QWidget* parent, const char* name, const char* text, int left, int top, bool on) {
    auto* made = place(new QCheckBox(QString::fromUtf8(text), parent), name, left, top, 3735, 300);
    made->setChecked(on);
    return made;
}

QLineEdit* field(QWidget* parent, const char* name, const char* text, int left, int top,
                 int width) {
    auto* made = place(new QLineEdit(QString::fromUtf8(text), parent), name, left, top, width, 375);
    made->setFont(fixedFont());
    return made;
}

enum Column { kTable, kRowsRead, kRowsOnServer, kVerified, kResult, kColumns };

}  // namespace

MigrationTab::MigrationTab(frmMain& window, QWidget* page) : QWidget(page), window_(window) {
    setObjectName(QStringLiteral("MigrationTab"));
    setGeometry(0, 0, page->width(), page->height());
    buildControls();
    connectControls();
    loadSettings();
}

MigrationTab::~MigrationTab() {
    if (!worker_.joinable())
        return;
    // The worker may be waiting for a box: nothing more is shown, and the
    // calls it waits for run here until it has stopped.
    closing_ = true;
    stop_ = true;
    while (!done_)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    worker_.join();
}

void MigrationTab::buildControls() {
    MigrationControls& c = ui_;
    caption(this, "Jetﾃﾞｰﾀﾍﾞｰｽﾊﾟｽ　", 240, 240, 1680);
    c.txtMigDbPath = field(this, "txtMigDbPath", "", 1980, 240, 7515);
    c.cmdMigRef = button(this, "cmdMigRef", "参照", 9540, 240, 795, 375);

    caption(this, "ﾃｰﾌﾞﾙ名　", 240, 720, 2700);
    c.lstMigTables = place(new QListWidget(this), "lstMigTables", 240, 1095, 2700, 2145);
    c.lstMigTables->setFont(fixedFont());

    // The options: the safe rules and the value check on, as a first run of
    // a whole database wants; the rest as the command line's flags.
    c.chkMigOracleSafe = check(this, "chkMigOracleSafe", "Oracle向けの規則で移す", 3120, 720, true);
    c.chkMigVerify = check(this, "chkMigVerify", "値を１件ずつ照合する", 3120, 1020, true);
    c.chkMigReplace = check(this, "chkMigReplace", "既存の表を作り直す", 3120, 1320, false);
    c.chkMigClear = check(this, "chkMigClear", "事前にOracleの表をクリアする", 3120, 1620, false);
    c.chkMigNotNull = check(this, "chkMigNotNull", "Not NULL 制約を付けない", 7080, 720, false);
    c.chkMigBulk = check(this, "chkMigBulk", "まとめて送る（一括）", 7080, 1020, false);
    c.chkMigShortTables =
        check(this, "chkMigShortTables", "行数の足りない表も移す", 7080, 1320, false);
    c.chkMigViews = check(this, "chkMigViews", "保存したクエリをビューにする", 7080, 1620, true);
    c.chkMigAllowInvalid =
        check(this, "chkMigAllowInvalid", "規則に反する既存の行を残す", 3120, 1920, false);

    caption(this, "SQL格納先　", 3120, 2220, 1500);
    c.txtMigSqlFolder = field(this, "txtMigSqlFolder", "", 4680, 2220, 5415);
    c.cmdMigSqlRef = button(this, "cmdMigSqlRef", "参照", 10140, 2220, 795, 375);
    caption(this, "作成先表領域名 ", 3120, 2700, 1860);
    c.txtMigTablespace = field(this, "txtMigTablespace", "users", 5040, 2700, 1995);
    caption(this, "索引表領域名 ", 7200, 2700, 1860);
    c.txtMigIndex = field(this, "txtMigIndex", "indx", 9120, 2700, 1815);

    c.cmdMigStart = button(this, "cmdMigStart", "開始", 240, 3360, 1215, 495);
    c.cmdMigCancel = button(this, "cmdMigCancel", "キャンセル", 1560, 3360, 1215, 495);
    c.cmdMigResume = button(this, "cmdMigResume", "再開", 2880, 3360, 1215, 495);
    c.cmdMigSaveReport = button(this, "cmdMigSaveReport", "報告書保存", 4200, 3360, 1815, 495);
    c.cmdMigCancel->setEnabled(false);
    c.cmdMigSaveReport->setEnabled(false);
    c.lblMigCurrent = place(new QLabel(this), "lblMigCurrent", 6240, 3300, 4815, 300);
    c.barMigAll = place(new QProgressBar(this), "barMigAll", 6240, 3615, 4815, 240);
    c.barMigAll->setRange(0, 1);
    c.barMigAll->setValue(0);

    c.tblMigResult =
        place(new QTableWidget(0, kColumns, this), "tblMigResult", 240, 3960, 10815, 2160);
    c.tblMigResult->setHorizontalHeaderLabels(
        {QStringLiteral("テーブル"), QStringLiteral("読んだ行"), QStringLiteral("サーバーの行"),
         QStringLiteral("照合"), QStringLiteral("結果")});
    c.tblMigResult->horizontalHeader()->setStretchLastSection(true);
    c.tblMigResult->verticalHeader()->hide();
    c.tblMigResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    c.tblMigResult->setColumnWidth(kTable, twipsToPixels(0, 0, 2700, 0).width());
    c.lblMigSummary = place(new QLabel(this), "lblMigSummary", 240, 6180, 10815, 300);
}

void MigrationTab::connectControls() {
    MigrationControls& c = ui_;
    connect(c.txtMigDbPath, &QLineEdit::editingFinished, this, [this] { listTables(); });
    connect(c.cmdMigRef, &QPushButton::clicked, this, [this] { cmdMigRef_Click(false); });
    connect(c.cmdMigSqlRef, &QPushButton::clicked, this, [this] { cmdMigRef_Click(true); });
    connect(c.cmdMigStart, &QPushButton::clicked, this, [this] { start(false); });
    connect(c.cmdMigResume, &QPushButton::clicked, this, [this] { start(true); });
    connect(c.cmdMigCancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(c.cmdMigSaveReport, &QPushButton::clicked, this, [this] { cmdMigSaveReport_Click(); });
    // Esc stops a run while this page shows, wherever the focus is.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] { cancel(); });
    // The window does not close under a running migration: the close asks
    // the run to stop, and the settings of this page are saved with the
    // window's own.
    window_.installEventFilter(this);
}

bool MigrationTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::Close) {
        if (running()) {
            cancel();
            window_.setStatus("データベース移行を中断しています。終わってから閉じてください");
            event->ignore();
            return true;
        }
        saveSettings();
    }
    return QWidget::eventFilter(watched, event);
}

namespace {

platform::TextBoxes settingsBoxes(const MigrationControls& c) {
    return {{"txtMigDbPath", c.txtMigDbPath->text().toStdString()},
            {"txtMigSqlFolder", c.txtMigSqlFolder->text().toStdString()},
            {"txtMigTablespace", c.txtMigTablespace->text().toStdString()},
            {"txtMigIndex", c.txtMigIndex->text().toStdString()}};
}

}  // namespace

void MigrationTab::loadSettings() {
    platform::TextBoxes boxes = settingsBoxes(ui_);
    platform::gfLoadTextBoxes(window_.iniPath(), kMigrationSection, boxes);
    for (const platform::TextBox& box : boxes) {
        // A key that is not there keeps the built-in text (users, indx).
        if (box.text.empty())
            continue;
        findChild<QLineEdit*>(qs(box.name))->setText(qs(box.text));
    }
}

void MigrationTab::saveSettings() const {
    platform::gfSaveTextBoxes(window_.iniPath(), kMigrationSection, settingsBoxes(ui_));
}

std::string MigrationTab::journalPath() const {
    return (std::filesystem::path(window_.iniPath()).parent_path() / "Malvorn.migrate.journal")
        .string();
}

void MigrationTab::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!running() && ui_.txtMigDbPath->text().toStdString() != listed_)
        listTables();
}

void MigrationTab::listTables() {
    const std::string path = ui_.txtMigDbPath->text().toStdString();
    listed_ = path;
    ui_.lstMigTables->clear();
    if (core::isBlank(path) || !base::gFso().FileExists(path))
        return;  // the run's own check names a missing file
    try {
        for (const std::string& name : window_.context().openJet(path)->userTableNames()) {
            auto* item = new QListWidgetItem(qs(name), ui_.lstMigTables);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        }
    } catch (const std::exception& error) {
        window_.messages().show(error.what(), base::MessageIcon::kExclamation,
                                base::MessageButtons::kOk, base::TitleForm::kBracketedError);
    }
}

void MigrationTab::cmdMigRef_Click(bool folder) {
    QLineEdit* target = folder ? ui_.txtMigSqlFolder : ui_.txtMigDbPath;
    frmFolder dialog(folderContextFor(window_), &window_);
    dialog.setPath(target->text().toStdString());
    const std::optional<std::string> chosen = dialog.ShowForm(folder ? "Folder" : "Database");
    if (!chosen)
        return;
    target->setText(qs(*chosen));
    if (!folder)
        listTables();
}

core::MigrateFields MigrationTab::gatherFields(bool resume) const {
    const MigrationControls& c = ui_;
    const MainControls& main = window_.ui();
    core::MigrateFields f;
    f.dbPath = c.txtMigDbPath->text().toStdString();
    for (int i = 0; i < c.lstMigTables->count(); ++i) {
        if (c.lstMigTables->item(i)->checkState() == Qt::Checked)
            f.tables.push_back(c.lstMigTables->item(i)->text().toStdString());
    }
    // Every table checked is the whole file, as the command line without
    // names: the steps for the whole database (views) run too.
    if (f.tables.size() == static_cast<std::size_t>(c.lstMigTables->count()))
        f.tables.clear();
    f.sqlFolder = c.txtMigSqlFolder->text().toStdString();
    f.tableTablespace = c.txtMigTablespace->text().toStdString();
    f.indexTablespace = c.txtMigIndex->text().toStdString();
    f.suppressNotNull = c.chkMigNotNull->isChecked();
    f.replace = c.chkMigReplace->isChecked();
    f.clear = c.chkMigClear->isChecked();
    f.oracleSafe = c.chkMigOracleSafe->isChecked();
    f.verify = c.chkMigVerify->isChecked();
    f.bulkBatch = c.chkMigBulk->isChecked() ? kBulkBatch : 0;
    f.acceptShortTables = c.chkMigShortTables->isChecked();
    f.views = c.chkMigViews->isChecked();
    f.allowInvalid = c.chkMigAllowInvalid->isChecked();
    f.connection = {main.txtSystem->text().toStdString(),
                    main.txtPassOfSystem->text().toStdString(),
                    main.txtNetServiceName->text().toStdString()};
    f.journalPath = journalPath();
    f.resume = resume;
    return f;
}

void MigrationTab::start(bool resume) {
    if (running())
        return;
    core::MigrateFields fields = gatherFields(resume);
    // An empty list asks the core for every table: when all are checked or
    // none was read, never when none is checked.
    const auto checked = ui_.lstMigTables->findItems("*", Qt::MatchWildcard);
    if (ui_.lstMigTables->count() > 0 &&
        std::none_of(checked.begin(), checked.end(),
                     [](const QListWidgetItem* i) { return i->checkState() == Qt::Checked; })) {
        window_.messages().show("テーブルが選択されていません", base::MessageIcon::kExclamation,
                                base::MessageButtons::kOk, base::TitleForm::kError);
        ui_.lstMigTables->setFocus(Qt::OtherFocusReason);
        return;
    }
    window_.saveTextBoxes();
    saveSettings();
    stop_ = false;
    done_ = false;
    fields.stopRequested = [this] { return stop_.load(); };
    verify_ = fields.verify;
    report_ = {};
    ui_.tblMigResult->setRowCount(0);
    ui_.lblMigSummary->clear();
    ui_.lblMigCurrent->clear();
    ui_.barMigAll->setValue(0);
    window_.setStatus("データベース移行 開始");
    setRunning(true);
    worker_ = std::thread([this, fields] {
        ThreadMessages messages(this, window_.messages(), closing_);
        // The window may be going away under a worker that is stopping: then
        // nothing of it is touched.
        ThreadFront front(
            this,
            [this](core::Field field) {
                if (!closing_)
                    focusField(field);
            },
            [this](const std::string& text) {
                if (!closing_)
                    window_.setStatus(text);
            });
        core::Services services{messages,
                                front,
                                window_.context().openSession,
                                window_.context().openJet,
                                base::gFso(),
                                convert::localToday};
        ThreadProgress progress(this, *this);
        core::MigrateReport report;
        core::Outcome outcome = core::Outcome::kFailed;
        try {
            outcome = core::migrateDatabase(fields, services, progress, report);
        } catch (...) {
            core::showFailure(services, "移行エラー", "migrateDatabase", std::current_exception());
        }
        QMetaObject::invokeMethod(
            this,
            [this, outcome, report = std::move(report)] {
                if (closing_)
                    return;  // the destructor joins
                report_ = report;
                finishRun(outcome);
            },
            Qt::QueuedConnection);
        done_ = true;
    });
}

void MigrationTab::cancel() {
    if (running())
        stop_ = true;
}

void MigrationTab::setRunning(bool running) {
    MigrationControls& c = ui_;
    for (QWidget* input : std::initializer_list<QWidget*>{
             c.txtMigDbPath, c.cmdMigRef, c.lstMigTables, c.chkMigOracleSafe, c.chkMigVerify,
             c.chkMigReplace, c.chkMigClear, c.chkMigNotNull, c.chkMigBulk, c.chkMigShortTables,
             c.chkMigViews, c.chkMigAllowInvalid, c.txtMigSqlFolder, c.cmdMigSqlRef,
             c.txtMigTablespace, c.txtMigIndex, c.cmdMigStart, c.cmdMigResume, c.cmdMigSaveReport})
        input->setEnabled(!running);
    c.cmdMigCancel->setEnabled(running);
    // No other command while this one holds the server: the tabs and the
    // connection fields wait; the progress below stays as it is.
    window_.findChild<QTabBar*>(QStringLiteral("TabStrip1Tabs"))->setEnabled(!running);
    window_.control(QStringLiteral("Frame1"))->setEnabled(!running);
    if (running) {
        window_.setCursor(Qt::BusyCursor);
        c.cmdMigCancel->setFocus(Qt::OtherFocusReason);
    } else {
        window_.unsetCursor();
        c.cmdMigSaveReport->setEnabled(!report_.tables.empty());
    }
}

void MigrationTab::focusField(core::Field field) {
    QWidget* target = nullptr;
    if (field == core::Field::kDbPath)
        target = ui_.txtMigDbPath;
    else if (field == core::Field::kSqlFolder)
        target = ui_.txtMigSqlFolder;
    else if (field == core::Field::kTablespace)
        target = ui_.txtMigTablespace;
    else if (field == core::Field::kIndex)
        target = ui_.txtMigIndex;
    if (target != nullptr)
        target->setFocus(Qt::OtherFocusReason);
}

void MigrationTab::showTableStarted(const std::string& table, std::size_t number,
                                    std::size_t total) {
    current_ = "[" + std::to_string(number) + "/" + std::to_string(total) + "] " + table;
    ui_.lblMigCurrent->setText(qs(current_));
    ui_.barMigAll->setRange(0, static_cast<int>(total));
    ui_.barMigAll->setValue(static_cast<int>(number) - 1);
    currentRow_ = ui_.tblMigResult->rowCount();
    ui_.tblMigResult->insertRow(currentRow_);
    const QString cells[] = {qs(table), QStringLiteral("0"), {}, {}, QStringLiteral("移行中")};
    for (int column = 0; column < kColumns; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (column == kRowsRead || column == kRowsOnServer || column == kVerified)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        ui_.tblMigResult->setItem(currentRow_, column, item);
    }
    ui_.tblMigResult->scrollToItem(ui_.tblMigResult->item(currentRow_, 0));
    emit tableStarted(qs(table));
}

void MigrationTab::showRows(std::int64_t done, std::int64_t total) {
    ui_.lblMigCurrent->setText(
        qs(current_ + "  " + std::to_string(done) + " / " + std::to_string(total)));
    if (currentRow_ >= 0)
        ui_.tblMigResult->item(currentRow_, kRowsRead)->setText(QString::number(done));
}

void MigrationTab::showTableFinished(const core::TableOutcome& outcome) {
    if (currentRow_ < 0)
        return;
    const auto cell = [this](int column) { return ui_.tblMigResult->item(currentRow_, column); };
    cell(kRowsRead)->setText(QString::number(outcome.rowsRead));
    cell(kRowsOnServer)
        ->setText(outcome.rowsOnServer ? QString::number(*outcome.rowsOnServer) : QString("-"));
    cell(kVerified)->setText(verify_ ? QString::number(outcome.rowsVerified) : QString("-"));
    const std::string result =
        outcome.ok ? "完了" : (outcome.interrupted ? "中断" : "失敗: " + outcome.result);
    cell(kResult)->setText(qs(result));
    cell(kResult)->setToolTip(qs(outcome.result));
    ui_.barMigAll->setValue(ui_.barMigAll->value() + 1);
}

namespace {

// The views the run made of the saved queries, and those the server refused
// or could not select from (the report names each with the server's message).
std::string viewCounts(const std::vector<core::ViewOutcome>& views) {
    if (views.empty())
        return {};
    std::size_t created = 0, failed = 0;
    for (const auto& v : views) {
        created += v.status == core::ViewStatus::kCreated ? 1 : 0;
        failed +=
            v.status == core::ViewStatus::kRefused || v.status == core::ViewStatus::kFailedCheck
                ? 1
                : 0;
    }
    return "、ビュー " + std::to_string(created) + " / " + std::to_string(views.size()) +
           " 作成 (失敗 " + std::to_string(failed) + ")";
}

}  // namespace

void MigrationTab::finishRun(core::Outcome outcome) {
    worker_.join();
    lastOutcome_ = outcome;
    setRunning(false);
    std::size_t ok = 0;
    std::int64_t rows = 0, verified = 0;
    for (const core::TableOutcome& table : report_.tables) {
        ok += table.ok ? 1 : 0;
        rows += table.rowsRead;
        verified += table.rowsVerified;
    }
    const std::string counts = std::to_string(ok) + " / " + std::to_string(report_.tables.size()) +
                               " 表 完了、読んだ行 " + std::to_string(rows) +
                               (verify_ ? "、照合した行 " + std::to_string(verified) : "") +
                               viewCounts(report_.views);
    std::string summary, status;
    switch (outcome) {
        case core::Outcome::kDone:
            summary = "移行 完了: " + counts;
            status = "データベース移行 完了";
            break;
        case core::Outcome::kFailed:
            summary = "移行 失敗: " + counts;
            status = "データベース移行 失敗";
            break;
        case core::Outcome::kInterrupted:
            summary = "移行 中断: " + counts + " (再開で続きを移します)";
            status = "データベース移行 中断";
            break;
        case core::Outcome::kRefused:  // its message has been shown; nothing ran
            break;
    }
    ui_.lblMigSummary->setText(qs(summary));
    ui_.lblMigCurrent->clear();
    window_.setStatus(status);
    emit runEnded();
}

bool MigrationTab::saveReport(const std::string& path) {
    try {
        base::writeFileAtomically(path, core::migrateReportJson(report_));
        return true;
    } catch (const std::exception& error) {
        window_.messages().show("報告書を保存できません: " + path + "\r" + error.what(),
                                base::MessageIcon::kExclamation, base::MessageButtons::kOk,
                                base::TitleForm::kError);
        return false;
    }
}

void MigrationTab::cmdMigSaveReport_Click() {
    const QString path = QFileDialog::getSaveFileName(
        &window_, QStringLiteral("報告書保存"), QStringLiteral("migrate-report.json"),
        QStringLiteral("JSON (*.json)"), nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        saveReport(path.toStdString());
}

}  // namespace malvorn::window
