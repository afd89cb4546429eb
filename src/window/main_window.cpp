#include "window/main_window.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <cmath>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "convert/fixed_scripts.h"
#include "window/busy_state.h"
#include "window/fonts.h"
#include "window/migration_tab.h"
#include "window/qt_messages.h"

namespace malvorn::window {

namespace {

const char* const kIndexProperty = "index";

// The tab strip draws the tabs and the pane around the pages; the pages are
// the window's own frames laid over it, as the design stacks them.
class TabStrip : public QWidget {
  public:
    explicit TabStrip(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
        bar_->setObjectName(QStringLiteral("TabStrip1Tabs"));
        bar_->setDrawBase(false);
        bar_->setExpanding(false);
    }
    QTabBar* bar() const { return bar_; }

  protected:
    void resizeEvent(QResizeEvent*) override {
        bar_->setGeometry(0, 0, width(), bar_->sizeHint().height());
    }
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionTabWidgetFrame pane;
        pane.initFrom(this);
        const int top = bar_->height() - 1;
        pane.rect = QRect(0, top, width(), height() - top);
        pane.shape = QTabBar::RoundedNorth;
        pane.tabBarSize = bar_->size();
        pane.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        painter.drawPrimitive(QStyle::PE_FrameTabWidget, pane);
    }

  private:
    QTabBar* bar_;
};

enum class Kind {
    kFrame,      // frame with a caption
    kPage,       // frame without caption: one tab page
    kLabel,      // text on the window background
    kCaption,    // label in front of an input field: white on dark blue
    kTextBox,    // one-line box, window font
    kFixedBox,   // one-line box, fixed pitch
    kMultiLine,  // multi-line box, fixed pitch
    kComboBox,
    kCheckBox,
    kButton,
    kTabStrip,
    kStatus,
};

struct ControlLayout {
    Kind kind;
    const char* name;
    int index;  // member of a control array, or -1
    const char* parent;
    int parentIndex;
    const char* text;
    int left, top, width, height;  // twips, from the container's corner
};

// Texts of the descriptive labels.
const char* const kLabel2 =
    "ユーザーを削除した場合、そのユーザーの所有するオブジェクトも削除されます。";
const char* const kLabel5 =
    "Jetデータパスに指定されたMDBファイルよりテーブル構成情報を取得し、同等の表をOracle上に作成しま"
    "す。また、指定された場所にOracleのテーブル作成用SQL文を格納します。";
const char* const kLabel7 =
    "Jetデータパスに指定されたMDBファイルよりテーブル内のデータを取得し、Oracle上の同名の表にセット"
    "し"
    "ます。";

// The window in creation order; later siblings lie above earlier ones, so the
// pages cover the tab strip's pane and 終了 covers the end of the status line.
const ControlLayout kControls[] = {
    {Kind::kFrame, "Frame1", -1, nullptr, -1, "オラクル接続文字列", 180, 120, 4875, 1755},
    {Kind::kCaption, "lblLogon", 0, "Frame1", -1, "ユーザー名　", 120, 360, 1770, 375},
    {Kind::kTextBox, "txtSystem", -1, "Frame1", -1, "", 1920, 360, 2715, 375},
    {Kind::kCaption, "lblLogon", 1, "Frame1", -1, "パスワード　", 120, 780, 1770, 375},
    {Kind::kTextBox, "txtPassOfSystem", -1, "Frame1", -1, "", 1920, 780, 2715, 375},
    {Kind::kCaption, "lblLogon", 2, "Frame1", -1, "ネットサービス名　", 120, 1200, 1770, 375},
    {Kind::kTextBox, "txtNetServiceName", -1, "Frame1", -1, "", 1920, 1200, 2715, 375},
    {Kind::kTabStrip, "TabStrip1", -1, nullptr, -1, "", 180, 1980, 11535, 7095},
    {Kind::kPage, "fraTab", 1, nullptr, -1, "", 300, 2400, 11295, 6555},
    {Kind::kPage, "fraTab", 2, nullptr, -1, "", 300, 2400, 11295, 6555},
    {Kind::kPage, "fraTab", 3, nullptr, -1, "", 300, 2400, 11295, 6555},
    {Kind::kPage, "fraTab", 4, nullptr, -1, "", 300, 2400, 11295, 6555},
    {Kind::kPage, "fraTab", 5, nullptr, -1, "", 300, 2400, 11295, 6555},  // データベース移行
    {Kind::kStatus, "lblMsg", -1, nullptr, -1, "", 180, 9360, 11535, 315},
    {Kind::kButton, "cmdEnd", -1, nullptr, -1, "終了", 9900, 9180, 1815, 495},
    // ユーザー作成
    {Kind::kCaption, "lblLogon", 3, "fraTab", 1, "ユーザー名　", 180, 360, 1680, 375},
    {Kind::kTextBox, "txtUserID", -1, "fraTab", 1, "", 1920, 360, 2715, 375},
    {Kind::kCaption, "lblLogon", 4, "fraTab", 1, "パスワード　", 180, 780, 1680, 375},
    {Kind::kTextBox, "txtPassword", -1, "fraTab", 1, "", 1920, 780, 2715, 375},
    {Kind::kButton, "cmdCreateUser", -1, "fraTab", 1, "作成", 4920, 660, 1215, 495},
    {Kind::kButton, "cmdDeleteUser", -1, "fraTab", 1, "削除", 6360, 660, 1215, 495},
    {Kind::kLabel, "Label2", -1, "fraTab", 1, kLabel2, 7920, 660, 3075, 795},
    // JET=>Oracle
    {Kind::kCaption, "Label3", -1, "fraTab", 2, "Jetﾃﾞｰﾀﾍﾞｰｽﾊﾟｽ　", 240, 300, 1680, 375},
    {Kind::kFixedBox, "txtDbPath", -1, "fraTab", 2, "", 1980, 300, 7515, 375},
    {Kind::kButton, "cmdRef", 1, "fraTab", 2, "参照", 9540, 300, 795, 375},
    {Kind::kCaption, "Label6", -1, "fraTab", 2, "ﾃｰﾌﾞﾙ名　", 240, 720, 1680, 345},
    {Kind::kComboBox, "cboTable", -1, "fraTab", 2, "", 1980, 720, 4275, 345},
    {Kind::kFrame, "Frame2", -1, "fraTab", 2, "JETからOracleの表作成", 240, 1200, 10755, 3255},
    {Kind::kLabel, "Label5", -1, "Frame2", -1, kLabel5, 480, 420, 9435, 675},
    {Kind::kCheckBox, "chkNotNull", -1, "Frame2", -1, "Not NULL 制約を付けない", 600, 960, 3375,
     300},
    {Kind::kCheckBox, "chkCreateHyou", -1, "Frame2", -1, "Oracle表作成", 600, 1320, 3375, 300},
    {Kind::kCheckBox, "chkSaveSQL", -1, "Frame2", -1, "SQL文格納　<格納先ディレクトリ>", 600, 1680,
     3495, 300},
    {Kind::kButton, "cmdCreateBatch", -1, "Frame2", -1, "SQLバッチ作成", 4200, 1680, 2115, 315},
    {Kind::kButton, "cmdRef", 2, "Frame2", -1, "参照", 8400, 1680, 795, 315},
    {Kind::kFixedBox, "txtSqlFolder", -1, "Frame2", -1, "", 540, 1980, 8655, 375},
    {Kind::kCaption, "Label4", -1, "Frame2", -1, "作成先表領域名 ", 600, 2580, 1860, 375},
    {Kind::kFixedBox, "txtTablespace", -1, "Frame2", -1, "users", 2520, 2580, 1995, 375},
    {Kind::kCaption, "Label8", -1, "Frame2", -1, "索引表領域名 ", 4800, 2580, 1860, 375},
    {Kind::kFixedBox, "txtIndex", -1, "Frame2", -1, "indx", 6720, 2580, 1995, 375},
    {Kind::kButton, "cmdConvert", -1, "Frame2", -1, "開始", 9360, 2520, 1215, 495},
    {Kind::kFrame, "Frame3", -1, "fraTab", 2, "JETからOracleへデータセット", 240, 4680, 10755,
     1695},
    {Kind::kLabel, "Label7", -1, "Frame3", -1, kLabel7, 420, 480, 9675, 555},
    {Kind::kCheckBox, "chkClear", -1, "Frame3", -1, "事前にOracleの表をクリアする", 5760, 1080,
     3495, 300},
    {Kind::kButton, "cmdStart", -1, "Frame3", -1, "開始", 9300, 1020, 1215, 495},
    // IDNOテーブル
    {Kind::kMultiLine, "txtLFIDNO", -1, "fraTab", 3, "", 240, 360, 10635, 1815},
    {Kind::kButton, "cmdCreateLFIDNO", -1, "fraTab", 3, "LFIDNO作成", 8640, 2400, 2175, 495},
    {Kind::kButton, "cmdSetLFIDNO", -1, "fraTab", 3, "LFIDNOデータセット", 8640, 3000, 2175, 495},
    // SQL実行
    {Kind::kCaption, "Label1", -1, "fraTab", 4, "SQLｽｸﾘﾌﾟﾄ  ", 240, 420, 1620, 375},
    {Kind::kFixedBox, "txtScriptPath", -1, "fraTab", 4, "", 1920, 420, 8235, 375},
    {Kind::kButton, "cmdRef", 4, "fraTab", 4, "参照", 10140, 420, 795, 375},
    {Kind::kButton, "cmdDoScript", -1, "fraTab", 4, "スクリプト実行", 8640, 960, 2175, 495},
    {Kind::kMultiLine, "txtSQL", -1, "fraTab", 4, "", 240, 1860, 10695, 3915},
    {Kind::kButton, "cmdDoSQL", -1, "fraTab", 4, "SQL実行", 8640, 5940, 2175, 495},
};

const char* const kTabCaptions[] = {"ユーザー作成", "JET=>Oracle", "IDNOテーブル", "SQL実行",
                                    "データベース移行"};
constexpr int kPages = static_cast<int>(std::size(kTabCaptions));

// The text boxes in the order their keys go into the settings file.
const char* const kTextBoxNames[] = {
    "txtSystem",     "txtPassOfSystem", "txtNetServiceName", "txtIndex",    "txtSqlFolder",
    "txtTablespace", "txtDbPath",       "txtUserID",         "txtPassword", "txtScriptPath",
    "txtSQL",        "txtLFIDNO",
};

struct Stop {
    const char* name;
    int index;
};
// The first nineteen stops of the Tab key, then the remaining controls.
const Stop kFocusOrder[] = {
    {"txtSystem", -1},      {"txtPassOfSystem", -1}, {"txtNetServiceName", -1},
    {"txtUserID", -1},      {"txtPassword", -1},     {"cmdCreateUser", -1},
    {"txtDbPath", -1},      {"cmdRef", 1},           {"cboTable", -1},
    {"cmdStart", -1},       {"txtLFIDNO", -1},       {"cmdCreateLFIDNO", -1},
    {"cmdSetLFIDNO", -1},   {"txtScriptPath", -1},   {"cmdRef", 4},
    {"cmdDoScript", -1},    {"txtSQL", -1},          {"cmdDoSQL", -1},
    {"cmdEnd", -1},         {"cmdDeleteUser", -1},   {"TabStrip1Tabs", -1},
    {"chkNotNull", -1},     {"chkCreateHyou", -1},   {"chkSaveSQL", -1},
    {"cmdCreateBatch", -1}, {"cmdRef", 2},           {"txtSqlFolder", -1},
    {"txtTablespace", -1},  {"txtIndex", -1},        {"cmdConvert", -1},
    {"chkClear", -1},
};

QString toCrLf(QString text) {
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString toLf(const std::string& text) {
    QString out = QString::fromStdString(text);
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

// Noto's kana are full width where the designed face has narrow ones, so a
// caption that does not fit its box at the designed size is set a little
// smaller rather than cut.
template <typename Fits>
void shrinkUntilFits(QWidget* widget, Fits fits) {
    QFont font = widget->font();
    while (!fits() && font.pointSizeF() > 7.0) {
        font.setPointSizeF(font.pointSizeF() - 0.25);
        widget->setFont(font);
    }
}

// The description over the check boxes reaches into the first of them by
// design; its text has to end above it.
int textHeightLimit(const QWidget* label) {
    if (label->objectName() == QLatin1String("Label5"))
        return twipsToPixels(0, 0, 0, 960 - 420).height();
    return label->height();
}

void fitText(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->wordWrap()) {
            shrinkUntilFits(label, [label] {
                return label->heightForWidth(label->width()) <= textHeightLimit(label);
            });
        } else {
            shrinkUntilFits(label, [label] {
                const QString shown = label->text().trimmed();
                return label->fontMetrics().horizontalAdvance(shown) <= label->width();
            });
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        shrinkUntilFits(box, [box] { return box->sizeHint().width() <= box->width(); });
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        shrinkUntilFits(button, [button] {
            return button->fontMetrics().horizontalAdvance(button->text()) + 8 <= button->width();
        });
    }
}

}  // namespace

frmMain::frmMain(FormContext context, base::MessageService* messages, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
    if (messages == nullptr) {
        ownMessages_ = std::make_unique<QtMessageService>(this);
        messages = ownMessages_.get();
    }
    messages_ = messages;
    buildControls();
    bindControls();
    connectCommands();
    new MigrationTab(*this, control(QStringLiteral("fraTab"), 5));  // a child: the page owns it
    Form_Load();
}

frmMain::~frmMain() = default;

namespace {

// A new control of `kind` in `container`. The status line and the tab strip,
// which the window keeps hold of, it makes itself.
QWidget* newControl(Kind kind, const QString& text, QWidget* container) {
    switch (kind) {
        case Kind::kFrame:
            return new QGroupBox(text, container);
        case Kind::kPage: {
            auto* page = new QFrame(container);
            page->setFrameShape(QFrame::NoFrame);
            return page;
        }
        case Kind::kLabel: {
            auto* label = new QLabel(text, container);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case Kind::kCaption: {
            auto* label = new QLabel(text, container);
            QPalette caption = label->palette();
            caption.setColor(QPalette::Window, QColor(0, 0, 128));
            caption.setColor(QPalette::WindowText, Qt::white);
            label->setAutoFillBackground(true);
            label->setPalette(caption);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            return label;
        }
        case Kind::kTextBox:
        case Kind::kFixedBox: {
            auto* edit = new QLineEdit(text, container);
            if (kind == Kind::kFixedBox)
                edit->setFont(fixedFont());
            return edit;
        }
        case Kind::kMultiLine: {
            auto* edit = new QPlainTextEdit(container);
            edit->setFont(fixedFont());
            edit->setTabChangesFocus(true);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            return edit;
        }
        case Kind::kComboBox: {
            auto* combo = new QComboBox(container);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            combo->setFont(fixedFont());
            return combo;
        }
        case Kind::kCheckBox:
            return new QCheckBox(text, container);
        case Kind::kButton: {
            auto* button = new QPushButton(text, container);
            button->setFont(buttonFont());
            button->setAutoDefault(false);
            return button;
        }
        case Kind::kStatus:
        case Kind::kTabStrip:
            break;
    }
    return nullptr;
}

}  // namespace

void frmMain::buildControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Malvorn (ADO)"));
    setFont(windowFont());
    // The controls sit at fixed places: the window keeps its designed size.
    setFixedSize(twipsToPixels(0, 0, 11880, 9735).size());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    for (const ControlLayout& layout : kControls) {
        QWidget* container =
            layout.parent == nullptr ? this : control(layout.parent, layout.parentIndex);
        Q_ASSERT(container != nullptr);
        QWidget* widget = nullptr;
        if (layout.kind == Kind::kStatus) {
            status_ = new QLabel(container);
            status_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            widget = status_;
        } else if (layout.kind == Kind::kTabStrip) {
            auto* strip = new TabStrip(container);
            tabs_ = strip->bar();
            for (const char* tab : kTabCaptions)
                tabs_->addTab(QString::fromUtf8(tab));
            widget = strip;
        } else {
            widget = newControl(layout.kind, QString::fromUtf8(layout.text), container);
        }
        widget->setObjectName(QString::fromUtf8(layout.name));
        if (layout.index >= 0)
            widget->setProperty(kIndexProperty, layout.index);
        widget->setGeometry(twipsToPixels(layout.left, layout.top, layout.width, layout.height));
        fitText(widget);
    }

    setText(QStringLiteral("txtLFIDNO"), convert::lfidnoDefinitionText());

    // What a user converting a table wants first: the table created on Oracle
    // and its script stored, the Jet NOT NULL constraints kept, and no rows
    // deleted unless asked for.
    for (const char* name : {"chkNotNull", "chkCreateHyou", "chkSaveSQL", "chkClear"}) {
        qobject_cast<QCheckBox*>(control(QString::fromUtf8(name)))
            ->setChecked(std::string_view(name) == "chkCreateHyou" ||
                         std::string_view(name) == "chkSaveSQL");
    }
    connect(tabs_, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
}

namespace {

template <typename T>
void bind(const frmMain& window, T*& slot, const char* name, int index = -1) {
    slot = qobject_cast<T*>(window.control(QString::fromUtf8(name), index));
    if (slot == nullptr)
        throw std::logic_error(std::string("the window has no control ") + name);
}

}  // namespace

void frmMain::bindControls() {
    MainControls& c = ui_;
    bind(*this, c.txtSystem, "txtSystem");
    bind(*this, c.txtPassOfSystem, "txtPassOfSystem");
    bind(*this, c.txtNetServiceName, "txtNetServiceName");
    bind(*this, c.txtUserID, "txtUserID");
    bind(*this, c.txtPassword, "txtPassword");
    bind(*this, c.txtDbPath, "txtDbPath");
    bind(*this, c.cboTable, "cboTable");
    bind(*this, c.chkNotNull, "chkNotNull");
    bind(*this, c.chkCreateHyou, "chkCreateHyou");
    bind(*this, c.chkSaveSQL, "chkSaveSQL");
    bind(*this, c.txtSqlFolder, "txtSqlFolder");
    bind(*this, c.txtTablespace, "txtTablespace");
    bind(*this, c.txtIndex, "txtIndex");
    bind(*this, c.chkClear, "chkClear");
    bind(*this, c.txtLFIDNO, "txtLFIDNO");
    bind(*this, c.txtScriptPath, "txtScriptPath");
    bind(*this, c.txtSQL, "txtSQL");
    bind(*this, c.cmdCreateUser, "cmdCreateUser");
    bind(*this, c.cmdDeleteUser, "cmdDeleteUser");
    bind(*this, c.cmdConvert, "cmdConvert");
    bind(*this, c.cmdCreateBatch, "cmdCreateBatch");
    bind(*this, c.cmdStart, "cmdStart");
    bind(*this, c.cmdCreateLFIDNO, "cmdCreateLFIDNO");
    bind(*this, c.cmdSetLFIDNO, "cmdSetLFIDNO");
    bind(*this, c.cmdDoScript, "cmdDoScript");
    bind(*this, c.cmdDoSQL, "cmdDoSQL");
    bind(*this, c.cmdEnd, "cmdEnd");
    for (const int index : {1, 2, 4})
        bind(*this, c.cmdRef[static_cast<std::size_t>(index)], "cmdRef", index);
    bind(*this, c.lblMsg, "lblMsg");
}

void frmMain::Form_Load() {
    const platform::TwipsPoint place = platform::gfCenterForm(
        context_.workArea, width() * context_.twipsPerPixelX, height() * context_.twipsPerPixelY);
    move(static_cast<int>(std::lround(place.left / context_.twipsPerPixelX)),
         static_cast<int>(std::lround(place.top / context_.twipsPerPixelY)));

    setFocusOrder();

    platform::TextBoxes boxes = textBoxes();
    platform::gfLoadTextBoxes(context_.iniPath, platform::kMainFormSection, boxes);
    setTextBoxes(boxes);
    if (core::isBlank(text(QStringLiteral("txtSystem"))))
        setText(QStringLiteral("txtSystem"), "system");
    if (core::isBlank(text(QStringLiteral("txtPassOfSystem"))))
        setText(QStringLiteral("txtPassOfSystem"), "tarnbol");

    setStatus({});
    selectTab(1);
}

void frmMain::setFocusOrder() {
    QWidget* previous = nullptr;
    for (const Stop& stop : kFocusOrder) {
        QWidget* next = stop.name == std::string_view("TabStrip1Tabs")
                            ? tabs_
                            : control(QString::fromUtf8(stop.name), stop.index);
        Q_ASSERT(next != nullptr);
        if (previous != nullptr)
            setTabOrder(previous, next);
        previous = next;
    }
}

void frmMain::ShowForm() {
    show();
    raise();
    activateWindow();
}

QWidget* frmMain::control(const QString& name, int index) const {
    const auto found = findChildren<QWidget*>(name);
    for (QWidget* widget : found) {
        const QVariant own = widget->property(kIndexProperty);
        if (index < 0 ? !own.isValid() : own.isValid() && own.toInt() == index)
            return widget;
    }
    return nullptr;
}

QAbstractButton* frmMain::button(const QString& name, int index) const {
    return qobject_cast<QAbstractButton*>(control(name, index));
}

std::string frmMain::text(const QString& name, int index) const {
    QWidget* widget = control(name, index);
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        return line->text().toStdString();
    if (auto* lines = qobject_cast<QPlainTextEdit*>(widget))
        return toCrLf(lines->toPlainText()).toStdString();
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->currentText().toStdString();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text().toStdString();
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text().toStdString();
    return {};
}

void frmMain::setText(const QString& name, const std::string& text) {
    QWidget* widget = control(name);
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        line->setText(QString::fromStdString(text));
    else if (auto* lines = qobject_cast<QPlainTextEdit*>(widget))
        lines->setPlainText(toLf(text));
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        combo->setEditText(QString::fromStdString(text));
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(QString::fromStdString(text));
}

bool frmMain::checked(const QString& name) const {
    const auto* box = qobject_cast<QCheckBox*>(control(name));
    return box != nullptr && box->isChecked();
}

platform::TextBoxes frmMain::textBoxes() const {
    platform::TextBoxes boxes;
    for (const char* name : kTextBoxNames)
        boxes.push_back({name, text(QString::fromUtf8(name))});
    return boxes;
}

void frmMain::setTextBoxes(const platform::TextBoxes& boxes) {
    for (const platform::TextBox& box : boxes)
        setText(QString::fromStdString(box.name), box.text);
}

void frmMain::saveTextBoxes() {
    platform::gfSaveTextBoxes(context_.iniPath, platform::kMainFormSection, textBoxes());
}

void frmMain::setStatus(const std::string& text, bool repaintNow) {
    status_->setText(QString::fromStdString(text));
    // Progress of a long copy comes for every row: painting each one would
    // cost more than the row. The first is painted at once, then at most one
    // every 40 ms; the last is painted when the command returns.
    if (repaintNow && (!lastPaint_.isValid() || lastPaint_.elapsed() >= 40)) {
        status_->repaint();
        lastPaint_.restart();
    }
}

void frmMain::selectTab(int tab) {
    const QSignalBlocker quiet(tabs_);  // the switch below runs once, not twice
    tabs_->setCurrentIndex(tab - 1);
    TabStrip1_Click();
}

int frmMain::selectedTab() const {
    return tabs_->currentIndex() + 1;
}

void frmMain::TabStrip1_Click() {
    for (int k = 1; k <= kPages; ++k) {
        QWidget* page = control(QStringLiteral("fraTab"), k);
        if (k == selectedTab()) {
            page->setVisible(true);
            page->raise();
        } else {
            page->setVisible(false);
        }
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    saveTextBoxes();
    event->accept();
}

}  // namespace malvorn::window
