#pragma once

#include <QRect>
#include <QWidget>
#include <memory>
#include <string>

#include "shell/messages.h"
#include "shell/settings_file.h"
#include "shell/work_area.h"

class QAbstractButton;
class QCloseEvent;
class QLabel;
class QTabBar;

namespace malvorn::shell::ui {

// Positions of the window are designed in twips at 15 twips a pixel.
inline constexpr int kTwipsPerPixel = 15;
QRect twipsToPixels(int left, int top, int width, int height);

// What the window needs from start-up.
struct FormContext {
    std::string iniPath;         // gIniPath
    WorkArea workArea;           // in twips
    double twipsPerPixelX = 15;  // the screen's factors, for centring
    double twipsPerPixelY = 15;
};

// The main window. Every control carries its design name as its object name;
// members of a control array (lblLogon, cmdRef, fraTab) share the name and
// carry their index in the "index" property.
//
// The command buttons are not connected here: each command connects its
// button (`button("cmdConvert")`) or, for the browse buttons, the
// cmdRefClicked signal, which carries the array index 1, 2 or 4.
class frmMain : public QWidget {
    Q_OBJECT

  public:
    // Builds the controls and runs the load: centring on the work area and
    // the initialisation (focus order, settings, defaults, first page).
    // `messages` defaults to modal Qt boxes over this window.
    explicit frmMain(FormContext context, MessageService* messages = nullptr,
                     QWidget* parent = nullptr);
    ~frmMain() override;

    // Shows the window modeless.
    void ShowForm();

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
    TextBoxes textBoxes() const;
    void setTextBoxes(const TextBoxes& boxes);
    // gfSaveTextBoxes on this window.
    void saveTextBoxes();

    // Status line; `repaintNow` redraws it at once for progress shown while
    // a command keeps the event loop waiting.
    void setStatus(const std::string& text, bool repaintNow = false);

    // Selects tab 1..4 and shows its page, as a click on the tab does.
    void selectTab(int tab);
    int selectedTab() const;
    // Shows the page of the selected tab and hides the others.
    void TabStrip1_Click();

    // The window's free text property: the chooser leaves its path here.
    const std::string& tag() const { return tag_; }
    void setTag(std::string tag) { tag_ = std::move(tag); }

    MessageService& messages() { return *messages_; }
    const std::string& iniPath() const { return context_.iniPath; }

  signals:
    // A 参照 button of the control array was clicked.
    void cmdRefClicked(int index);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void Form_Load();
    void setFocusOrder();

    FormContext context_;
    std::unique_ptr<MessageService> ownMessages_;
    MessageService* messages_;
    QTabBar* tabs_ = nullptr;
    QLabel* status_ = nullptr;
    std::string tag_;
};

}  // namespace malvorn::shell::ui
