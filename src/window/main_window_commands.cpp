// The commands of the main window: each handler gathers the fields the
// command reads and calls it in the core; the window itself only shows what
// the command asks for.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "base/file_system.h"
#include "convert/script_files.h"
#include "core/admin_commands.h"
#include "core/copy_command.h"
#include "window/busy_state.h"
#include "window/frm_folder.h"
#include "window/main_window.h"

namespace malvorn::window {
namespace {

std::string textOf(const QLineEdit* box) {
    return box->text().toStdString();
}

// The 参照 buttons: index 1 chooses txtDbPath ("File"), 2 txtSqlFolder
// ("Folder"), 4 txtScriptPath ("Script"); other indexes do nothing. The
// field keeps its text unless OK chose a path.
void cmdRef_Click(frmMain& window, int index) {
    struct Ref {
        int index;
        const char* field;
        const char* mode;
    };
    static constexpr Ref kRefs[] = {
        {1, "txtDbPath", "File"}, {2, "txtSqlFolder", "Folder"}, {4, "txtScriptPath", "Script"}};
    const Ref* ref = nullptr;
    for (const Ref& candidate : kRefs) {
        if (candidate.index == index)
            ref = &candidate;
    }
    if (ref == nullptr)
        return;
    const QString field = QString::fromUtf8(ref->field);
    frmFolder dialog(folderContextFor(window), &window);
    dialog.setPath(window.text(field));
    const std::optional<std::string> chosen = dialog.ShowForm(ref->mode);
    // The field is set again even after Cancel, with its own text.
    window.setText(field, chosen.value_or(window.text(field)));
}

}  // namespace

void frmMain::connectCommands() {
    connect(ui_.cmdEnd, &QAbstractButton::clicked, this, &QWidget::close);
    for (const int index : {1, 2, 4}) {
        connect(ui_.cmdRef[static_cast<std::size_t>(index)], &QAbstractButton::clicked, this,
                [this, index] { emit cmdRefClicked(index); });
    }
    connect(this, &frmMain::cmdRefClicked, this, [this](int index) { cmdRef_Click(*this, index); });
    connect(ui_.cmdConvert, &QAbstractButton::clicked, this, [this] { cmdConvert_Click(); });
    connect(ui_.cmdCreateBatch, &QAbstractButton::clicked, this,
            [this] { cmdCreateBatch_Click(); });
    connect(ui_.cmdStart, &QAbstractButton::clicked, this, [this] { cmdStart_Click(); });
    connect(ui_.cmdCreateUser, &QAbstractButton::clicked, this, [this] { cmdCreateUser_Click(); });
    connect(ui_.cmdDeleteUser, &QAbstractButton::clicked, this, [this] { cmdDeleteUser_Click(); });
    connect(ui_.cmdCreateLFIDNO, &QAbstractButton::clicked, this,
            [this] { cmdCreateLFIDNO_Click(); });
    connect(ui_.cmdSetLFIDNO, &QAbstractButton::clicked, this, [this] { cmdSetLFIDNO_Click(); });
    connect(ui_.cmdDoScript, &QAbstractButton::clicked, this, [this] { cmdDoScript_Click(); });
    connect(ui_.cmdDoSQL, &QAbstractButton::clicked, this, [this] { cmdDoSQL_Click(); });
    ui_.cboTable->installEventFilter(this);
}

core::Services frmMain::services() {
    return {*messages_,       *this,        context_.openSession,
            context_.openJet, base::gFso(), convert::localToday};
}

model::ConnectionFields frmMain::connectionFields() const {
    return {textOf(ui_.txtSystem), textOf(ui_.txtPassOfSystem), textOf(ui_.txtNetServiceName)};
}

void frmMain::focus(core::Field field) {
    QWidget* target = nullptr;
    switch (field) {
        case core::Field::kNone:
            return;
        case core::Field::kDbPath:
            target = ui_.txtDbPath;
            break;
        case core::Field::kTable:
            target = ui_.cboTable;
            break;
        case core::Field::kTablespace:
            target = ui_.txtTablespace;
            break;
        case core::Field::kIndex:
            target = ui_.txtIndex;
            break;
        case core::Field::kSqlFolder:
            target = ui_.txtSqlFolder;
            break;
        case core::Field::kUserId:
            target = ui_.txtUserID;
            break;
        case core::Field::kPassword:
            target = ui_.txtPassword;
            break;
        case core::Field::kScriptPath:
            target = ui_.txtScriptPath;
            break;
        case core::Field::kSql:
            target = ui_.txtSQL;
            break;
    }
    target->setFocus(Qt::OtherFocusReason);
}

void frmMain::setBusy(core::Busy busy) {
    busy_.reset();
    if (busy != core::Busy::kIdle) {
        busy_ = std::make_unique<BusyState>(this, busy == core::Busy::kHourglassBlocked
                                                      ? BusyState::Input::kBlocked
                                                      : BusyState::Input::kAccepted);
    }
}

void frmMain::cmdConvert_Click() {
    core::ConvertFields fields;
    fields.table = ui_.cboTable->currentText().toStdString();
    fields.dbPath = textOf(ui_.txtDbPath);
    fields.tableTablespace = textOf(ui_.txtTablespace);
    fields.indexTablespace = textOf(ui_.txtIndex);
    fields.sqlFolder = textOf(ui_.txtSqlFolder);
    fields.suppressNotNull = ui_.chkNotNull->isChecked();
    fields.createTable = ui_.chkCreateHyou->isChecked();
    fields.saveSql = ui_.chkSaveSQL->isChecked();
    fields.connection = connectionFields();
    core::Services services = this->services();
    core::convertTable(fields, services, ScriptLines_);
}

void frmMain::cboTable_GotFocus() {
    core::Services services = this->services();
    const core::TableListChange change =
        core::refreshTableList(textOf(ui_.txtDbPath), tableList_, services);
    if (change == core::TableListChange::kNone)
        return;
    // Only the list changes: what the box shows stays as typed.
    const QString shown = ui_.cboTable->currentText();
    ui_.cboTable->clear();
    for (const auto& name : tableList_.tables)
        ui_.cboTable->addItem(QString::fromStdString(name));
    ui_.cboTable->setEditText(shown);
}

void frmMain::cmdCreateBatch_Click() {
    core::BatchFields fields;
    fields.sqlFolder = textOf(ui_.txtSqlFolder);
    fields.table = ui_.cboTable->currentText().toStdString();
    fields.account = {textOf(ui_.txtUserID), textOf(ui_.txtPassword),
                      textOf(ui_.txtNetServiceName)};
    core::Services services = this->services();
    core::createBatch(fields, services);
}

void frmMain::cmdStart_Click() {
    core::CopyFields fields;
    fields.table = ui_.cboTable->currentText().toStdString();
    fields.dbPath = textOf(ui_.txtDbPath);
    fields.clear = ui_.chkClear->isChecked();
    fields.connection = connectionFields();
    core::Services services = this->services();
    core::copyTable(fields, services);
    ui_.lblMsg->repaint();  // the last count, which the throttle may have held back
}

void frmMain::cmdCreateUser_Click() {
    core::Services services = this->services();
    core::createUser({textOf(ui_.txtUserID), textOf(ui_.txtPassword), connectionFields()},
                     services);
}

void frmMain::cmdDeleteUser_Click() {
    core::Services services = this->services();
    core::deleteUser({textOf(ui_.txtUserID), textOf(ui_.txtPassword), connectionFields()},
                     services);
}

void frmMain::cmdCreateLFIDNO_Click() {
    core::Services services = this->services();
    core::createLfidno({text(QStringLiteral("txtLFIDNO")), connectionFields()}, services);
}

void frmMain::cmdSetLFIDNO_Click() {
    core::Services services = this->services();
    core::setLfidno({textOf(ui_.txtUserID), connectionFields()}, services);
}

void frmMain::cmdDoScript_Click() {
    core::Services services = this->services();
    core::runScript({textOf(ui_.txtScriptPath), connectionFields()}, services);
}

void frmMain::cmdDoSQL_Click() {
    core::Services services = this->services();
    core::runStatement({text(QStringLiteral("txtSQL")), connectionFields()}, services);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_.cboTable && event->type() == QEvent::FocusIn) {
        // Coming back to the window (after a message box, from another
        // program) is not the box getting the focus; and a check's message
        // box must not start the check again when it closes.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            !inTableFocus_) {
            inTableFocus_ = true;
            cboTable_GotFocus();
            inTableFocus_ = false;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace malvorn::window
