#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "base/messages.h"
#include "convert/script_lines.h"
#include "core/command.h"
#include "core/table_commands.h"
#include "platform/settings_file.h"
#include "platform/work_area.h"
#include "window/design_units.h"

class QAbstractButton;
class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabBar;

namespace malvorn::window {

// What the window needs from start-up.
struct FormContext {
    std::string iniPath;          // gIniPath
    platform::WorkArea workArea;  // in twips
    double twipsPerPixelX = 15;   // the screen's factors, for centring
    double twipsPerPixelY = 15;
    core::SessionOpener openSession;  // where the commands' sessions come from
    core::JetOpener openJet;          // how they read Jet files
};

class BusyState;

// The controls the commands read and write, by their design names. Bound once
// when the window is built: a name missing from the layout stops the start.
struct MainControls {
    QLineEdit* txtSystem = nullptr;
    QLineEdit* txtPassOfSystem = nullptr;
    QLineEdit* txtNetServiceName = nullptr;
    QLineEdit* txtUserID = nullptr;
    QLineEdit* txtPassword = nullptr;
    QLineEdit* txtDbPath = nullptr;
    QComboBox* cboTable = nullptr;
    QCheckBox* chkNotNull = nullptr;
    QCheckBox* chkCreateHyou = nullptr;
    QCheckBox* chkSaveSQL = nullptr;
    QLineEdit* txtSqlFolder = nullptr;
    QLineEdit* txtTablespace = nullptr;
    QLineEdit* txtIndex = nullptr;
    QCheckBox* chkClear = nullptr;
    QPlainTextEdit* txtLFIDNO = nullptr;
    QLineEdit* txtScriptPath = nullptr;
    QPlainTextEdit* txtSQL = nullptr;
    QPushButton* cmdCreateUser = nullptr;
    QPushButton* cmdDeleteUser = nullptr;
    QPushButton* cmdConvert = nullptr;
    QPushButton* cmdCreateBatch = nullptr;
    QPushButton* cmdStart = nullptr;
    QPushButton* cmdCreateLFIDNO = nullptr;
    QPushButton* cmdSetLFIDNO = nullptr;
    QPushButton* cmdDoScript = nullptr;
    QPushButton* cmdDoSQL = nullptr;
    QPushButton* cmdEnd = nullptr;
    std::array<QPushButton*, 5> cmdRef{};  // indexes 1, 2 and 4
    QLabel* lblMsg = nullptr;
};

// The main window. Every control carries its design name as its object name;
// members of a control array (lblLogon, cmdRef, fraTab) share the name and
// carry their index in the "index" property.
//
// The window is the front of every command: it gathers the fields, calls the
// command in the core and shows what the command asks for (focus, status,
// the busy pointer, the settings save).
class frmMain : public QWidget, public core::Front {
    Q_OBJECT

  public:
    // Builds the controls and runs the load: centring on the work area and
    // the initialisation (focus order, settings, defaults, first page).
    // `messages` defaults to modal Qt boxes over this window.
    explicit frmMain(FormContext context, base::MessageService* messages = nullptr,
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // Shows the window modeless.
    void ShowForm();

    const MainControls& ui() const { return ui_; }

    // The control of that name (and array index); nullptr when there is none.
    QWidget* control(const QString& name, int index = -1) const;
    QAbstractButton* button(const QString& name, int index = -1) const;

    // Text of a text box, combo box or label. Multi-line boxes give their
    // lines joined by CR LF, as the statements are sent.
    std::string text(const QString& name, int index = -1) const;
    void setText(const QString& name, const std::string& text);
    bool checked(const QString& name) const;

    // The text boxes the settings file stores (txtLFIDNO among them; the
    // settings functions skip it).
    platform::TextBoxes textBoxes() const;
    void setTextBoxes(const platform::TextBoxes& boxes);
    // gfSaveTextBoxes on this window.
    void saveTextBoxes();

    // Status line; `repaintNow` redraws it at once for progress shown while
    // a command keeps the event loop waiting.
    void setStatus(const std::string& text, bool repaintNow = false) override;

    // Selects tab 1..4 and shows its page, as a click on the tab does.
    void selectTab(int tab);
    int selectedTab() const;
    // Shows the page of the selected tab and hides the others.
    void TabStrip1_Click();

    base::MessageService& messages() { return *messages_; }
    const std::string& iniPath() const { return context_.iniPath; }
    const FormContext& context() const { return context_; }

    // The command handlers, as the buttons and the table box run them.
    void cmdConvert_Click();
    void cboTable_GotFocus();
    void cmdCreateBatch_Click();
    void cmdStart_Click();
    void cmdCreateUser_Click();
    void cmdDeleteUser_Click();
    void cmdCreateLFIDNO_Click();
    void cmdSetLFIDNO_Click();
    void cmdDoScript_Click();
    void cmdDoSQL_Click();

    // The script of the last conversion run.
    const convert::ScriptLines& scriptLines() const { return ScriptLines_; }

    // core::Front
    void focus(core::Field field) override;
    void setBusy(core::Busy busy) override;
    void saveSettings() override { saveTextBoxes(); }

  signals:
    // A 参照 button of the control array was clicked.
    void cmdRefClicked(int index);

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void bindControls();
    void connectCommands();
    void Form_Load();
    void setFocusOrder();
    core::Services services();
    model::ConnectionFields connectionFields() const;

    MainControls ui_;
    convert::ScriptLines ScriptLines_;
    core::TableList tableList_;  // cboTable's list and the path it came from
    std::unique_ptr<BusyState> busy_;
    bool inTableFocus_ = false;
    QElapsedTimer lastPaint_;

    FormContext context_;
    std::unique_ptr<base::MessageService> ownMessages_;
    base::MessageService* messages_;
    QTabBar* tabs_ = nullptr;
    QLabel* status_ = nullptr;
};

}  // namespace malvorn::window
