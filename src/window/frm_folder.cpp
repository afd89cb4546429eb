#include "window/frm_folder.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "base/paths.h"
#include "window/design_units.h"
#include "window/fonts.h"

namespace malvorn::window {

namespace {

constexpr int kPathRole = Qt::UserRole;

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

std::string itemPath(const QTreeWidgetItem* item) {
    return item->data(0, kPathRole).toString().toStdString();
}

// A path longer than the label shows its start and end; text() stays whole.
class PathLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const QRect area = contentsRect();
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

// The folder list shows the path open down to the current folder, indented,
// without expand arrows: nothing in it folds.
class FolderTree : public QTreeWidget {
  public:
    using QTreeWidget::QTreeWidget;

  protected:
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

// Sits on the application while the dialog is modal, so that the dialog sees
// a key before the control that has the focus does.
class KeyPreview {
  public:
    explicit KeyPreview(QObject* filter) : filter_(filter) { qApp->installEventFilter(filter_); }
    ~KeyPreview() { qApp->removeEventFilter(filter_); }
    KeyPreview(const KeyPreview&) = delete;
    KeyPreview& operator=(const KeyPreview&) = delete;

  private:
    QObject* filter_;
};

}  // namespace

FolderContext folderContextFor(const QWidget& window) {
    FolderContext context;
    const QScreen* screen =
        window.screen() != nullptr ? window.screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect available = screen->availableGeometry();
        context.twipsPerPixelX = platform::twipsPerPixel(screen->logicalDotsPerInchX());
        context.twipsPerPixelY = platform::twipsPerPixel(screen->logicalDotsPerInchY());
        context.workArea = platform::workAreaInTwips(
            {available.left(), available.top(), available.left() + available.width(),
             available.top() + available.height()},
            context.twipsPerPixelX, context.twipsPerPixelY);
    }
    context.programFolder = QCoreApplication::applicationDirPath().toStdString();
    context.workingFolder = platform::workingFolder();
    context.volumes = platform::mountedVolumes(*context.fso);
    return context;
}

frmFolder::frmFolder(FolderContext context, QWidget* parent)
    : QDialog(parent), context_(std::move(context)) {
    createControls();
}

frmFolder::~frmFolder() = default;

void frmFolder::createControls() {
    setObjectName(QStringLiteral("frmFolder"));
    setFont(buttonFont());
    // Opens at its designed size; larger, the lists take the room (resizeEvent).
    resize(twipsToPixels(0, 0, 5265, 2880).size());
    setMinimumSize(size());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    drvTarget_ = new QComboBox(this);
    drvTarget_->setObjectName(QStringLiteral("drvTarget"));
    drvTarget_->setGeometry(twipsToPixels(180, 120, 2475, 315));
    for (const std::string& volume : context_.volumes)
        drvTarget_->addItem(qs(volume), qs(volume));

    dirSource_ = new FolderTree(this);
    dirSource_->setObjectName(QStringLiteral("dirSource"));
    dirSource_->setGeometry(twipsToPixels(180, 480, 2475, 1890));
    dirSource_->setHeaderHidden(true);
    dirSource_->setRootIsDecorated(false);
    dirSource_->setExpandsOnDoubleClick(false);
    dirSource_->setItemsExpandable(false);
    dirSource_->setIndentation(10);

    filDb_ = new QListWidget(this);
    filDb_->setObjectName(QStringLiteral("filDb"));
    filDb_->setGeometry(twipsToPixels(2700, 120, 2415, 1455));

    lblExp_ = new QLabel(this);
    lblExp_->setObjectName(QStringLiteral("lblExp"));
    lblExp_->setGeometry(twipsToPixels(2700, 1620, 2400, 285));

    cmdOk_ = new QPushButton(QStringLiteral("ＯＫ"), this);
    cmdOk_->setObjectName(QStringLiteral("cmdOk"));
    cmdOk_->setGeometry(twipsToPixels(2760, 1980, 1155, 375));
    cmdOk_->setAutoDefault(false);
    cmdOk_->setDefault(true);

    cmdCan_ = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCan_->setObjectName(QStringLiteral("cmdCan"));
    cmdCan_->setGeometry(twipsToPixels(3960, 1980, 1095, 375));
    cmdCan_->setAutoDefault(false);

    lblPath_ = new PathLabel(this);
    lblPath_->setObjectName(QStringLiteral("lblPath"));
    lblPath_->setGeometry(twipsToPixels(180, 2460, 4920, 315));

    timInitial_ = new QTimer(this);
    timInitial_->setObjectName(QStringLiteral("timInitial"));
    timInitial_->setSingleShot(true);

    connect(drvTarget_, &QComboBox::currentIndexChanged, this, [this] { drvTarget_Change(); });
    connect(dirSource_, &QTreeWidget::itemClicked, this, [this] { dirSource_Change(); });
    connect(dirSource_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { dirSource_DblClick(item); });
    connect(timInitial_, &QTimer::timeout, this, [this] { timInitial_Timer(); });
    connect(cmdOk_, &QPushButton::clicked, this, [this] { cmdOk_Click(); });
    connect(cmdCan_, &QPushButton::clicked, this, [this] { cmdCan_Click(); });
}

namespace {

// A control at its designed place (twips) and how it follows a larger dialog:
// the extra width is shared by the two list columns, the extra height goes to
// the lists, and what sits under them moves down.
struct Placement {
    const char* name;
    int left, top, width, height;
    double shiftX, growX;  // shares of the extra width
    bool shiftY, growY;    // takes the extra height as a move or as height
};
const Placement kPlacements[] = {
    {"drvTarget", 180, 120, 2475, 315, 0, 0.5, false, false},
    {"dirSource", 180, 480, 2475, 1890, 0, 0.5, false, true},
    {"filDb", 2700, 120, 2415, 1455, 0.5, 0.5, false, true},
    {"lblExp", 2700, 1620, 2400, 285, 0.5, 0.5, true, false},
    {"cmdOk", 2760, 1980, 1155, 375, 1, 0, true, false},
    {"cmdCan", 3960, 1980, 1095, 375, 1, 0, true, false},
    {"lblPath", 180, 2460, 4920, 315, 0, 1, true, false},
};

}  // namespace

void frmFolder::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QSize designed = twipsToPixels(0, 0, 5265, 2880).size();
    const int dx = std::max(0, width() - designed.width());
    const int dy = std::max(0, height() - designed.height());
    for (const Placement& p : kPlacements) {
        QWidget* widget = findChild<QWidget*>(QString::fromUtf8(p.name));
        const QRect at = twipsToPixels(p.left, p.top, p.width, p.height);
        widget->setGeometry(
            at.left() + static_cast<int>(dx * p.shiftX), at.top() + (p.shiftY ? dy : 0),
            at.width() + static_cast<int>(dx * p.growX), at.height() + (p.growY ? dy : 0));
    }
}

std::optional<std::string> frmFolder::ShowForm(const std::string& strMode) {
    mode_ = platform::chooserMode(strMode);
    if (mode_ == nullptr)
        throw std::invalid_argument("unknown chooser mode: " + strMode);
    chosen_.reset();
    loadForMode();
    const KeyPreview preview(this);
    exec();
    return chosen_;
}

void frmFolder::loadForMode() {
    const double tx = context_.twipsPerPixelX;
    const double ty = context_.twipsPerPixelY;
    const platform::TwipsPoint place =
        platform::gfCenterForm(context_.workArea, width() * tx, height() * ty);
    move(static_cast<int>(std::lround(place.left / tx)),
         static_cast<int>(std::lround(place.top / ty)));
    setChooserTabOrder();

    setWindowTitle(qs(platform::chooserTitle(*mode_)));
    lblExp_->setText(QString::fromUtf8(mode_->pattern.data(), mode_->pattern.size()));
    if (mode_->filesSelectable) {
        filDb_->setSelectionMode(QAbstractItemView::SingleSelection);
        filDb_->setFocusPolicy(Qt::StrongFocus);
    } else {
        filDb_->setSelectionMode(QAbstractItemView::NoSelection);
        filDb_->setFocusPolicy(Qt::NoFocus);
    }

    const platform::ChooserStart start = platform::chooserStart(
        path_, context_.programFolder, context_.workingFolder, *context_.fso);
    lblPath_->setText(qs(start.label));
    // A start drive that cannot be selected never fails the dialog: a path
    // with no volume (relative) starts in the working folder (chooserStart);
    // a volume the list left out is added to it (selectDrive); a start folder
    // that cannot be listed falls back to the volume's current folder, then
    // its root, then "/", and the drive list follows where it landed. In each
    // case nothing is selected and no message is shown, as for a missing
    // start file.
    selectDrive(start.drive);
    const std::string driveFolder =
        platform::currentFolderOfDrive(start.drive, context_.workingFolder, *context_.fso);
    for (const std::string& candidate :
         {start.folder, driveFolder, start.drive, std::string("/")}) {
        if (openFolder(candidate))
            break;
    }
    if (folder_ != start.folder && context_.fso->GetDriveName(folder_) != currentDrive())
        selectDrive(context_.fso->GetDriveName(folder_));
    if (mode_->filesSelectable && !start.preselect.empty() && folder_ == start.folder) {
        const int row = platform::preselectIndex(files(), start.preselect);
        if (row >= 0)
            filDb_->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
    timInitial_->start(1);
}

void frmFolder::setChooserTabOrder() {
    QWidget::setTabOrder(drvTarget_, dirSource_);
    QWidget::setTabOrder(dirSource_, filDb_);
    QWidget::setTabOrder(filDb_, cmdOk_);
    QWidget::setTabOrder(cmdOk_, cmdCan_);
}

// A volume the list left out but that the start path lies on (a memory
// file system, a system mount) is added for this use of the dialog.
void frmFolder::selectDrive(const std::string& drive) {
    int index = drvTarget_->findData(qs(drive));
    if (index < 0 && !drive.empty()) {
        index = 0;
        while (index < drvTarget_->count() &&
               drvTarget_->itemData(index).toString().toStdString() < drive)
            ++index;
        drvTarget_->insertItem(index, qs(drive), qs(drive));
    }
    const QSignalBlocker quiet(drvTarget_);
    drvTarget_->setCurrentIndex(index);
    driveIndex_ = index;
}

bool frmFolder::openFolder(const std::string& folder) {
    if (folder.empty())
        return false;
    const auto subfolders = platform::listSubfolders(folder);
    if (!subfolders)
        return false;
    folder_ = folder;

    dirSource_->clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    QTreeWidgetItem* parent = nullptr;
    for (const std::string& step : platform::folderChain(folder)) {
        const std::string name = step == "/" ? step : base::gfFilePart(step);
        auto* item =
            parent == nullptr ? new QTreeWidgetItem(dirSource_) : new QTreeWidgetItem(parent);
        item->setText(0, qs(name));
        item->setIcon(0, open);
        item->setData(0, kPathRole, qs(step));
        parent = item;
    }
    for (const std::string& name : *subfolders) {
        auto* item = new QTreeWidgetItem(parent);
        item->setText(0, qs(name));
        item->setIcon(0, closed);
        item->setData(0, kPathRole, qs(platform::childPath(folder, name)));
    }
    dirSource_->expandAll();
    dirSource_->setCurrentItem(parent);
    dirSource_->scrollToItem(parent);
    dirSource_Change();
    return true;
}

void frmFolder::drvTarget_Change() {
    const std::string remembered = folder_;
    const std::string drive = currentDrive();
    if (openFolder(platform::currentFolderOfDrive(drive, context_.workingFolder, *context_.fso))) {
        driveIndex_ = drvTarget_->currentIndex();
        return;
    }
    // Refused without a word: the previous drive and folder stay.
    const QSignalBlocker quiet(drvTarget_);
    drvTarget_->setCurrentIndex(driveIndex_);
    if (folder_ != remembered)
        openFolder(remembered);
}

void frmFolder::dirSource_Change() {
    fileFolder_ = folder_;
    filDb_->clear();
    for (const std::string& name :
         platform::listMatchingFiles(fileFolder_, lblExp_->text().toStdString()))
        filDb_->addItem(qs(name));
    lblPath_->setText(qs(folder_));
}

void frmFolder::dirSource_DblClick(QTreeWidgetItem* item) {
    const std::string target = itemPath(item);
    if (target == folder_ || !openFolder(target))
        return;
    // The folder list can walk onto another volume (up to "/", down into a
    // mount); the drive list follows it.
    const std::string drive = context_.fso->GetDriveName(folder_);
    if (drive != currentDrive())
        selectDrive(drive);
}

void frmFolder::timInitial_Timer() {
    timInitial_->stop();
    if (mode_->filesSelectable)
        filDb_->setFocus(Qt::OtherFocusReason);
    else
        dirSource_->setFocus(Qt::OtherFocusReason);
}

void frmFolder::cmdOk_Click() {
    if (mode_->filesSelectable) {
        const std::string name = selectedFile();
        if (!name.empty())
            chosen_ = base::withTrailingSlash(fileFolder_) + name;
    } else {
        chosen_ = folder_;
    }
    accept();
}

void frmFolder::cmdCan_Click() {
    reject();
}

bool frmFolder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr || widget->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // X sends Ctrl+Pause as the keysym Break, which the toolkit may not name.
    constexpr quint32 kXBreak = 0xff6b;
    if (key->nativeVirtualKey() == kXBreak) {
        cmdCan_Click();
        return true;
    }
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            cmdOk_Click();
            return true;
        case Qt::Key_Escape:
        case Qt::Key_End:
        case Qt::Key_Cancel:
            cmdCan_Click();
            return true;
        case Qt::Key_Pause:  // Break is Ctrl with Pause
            if (key->modifiers().testFlag(Qt::ControlModifier)) {
                cmdCan_Click();
                return true;
            }
            return false;
        default:
            return false;
    }
}

std::string frmFolder::currentDrive() const {
    return drvTarget_->currentData().toString().toStdString();
}

std::vector<std::string> frmFolder::files() const {
    std::vector<std::string> names;
    for (int row = 0; row < filDb_->count(); ++row)
        names.push_back(filDb_->item(row)->text().toStdString());
    return names;
}

std::string frmFolder::selectedFile() const {
    const auto selected = filDb_->selectedItems();
    return selected.isEmpty() ? std::string() : selected.front()->text().toStdString();
}

}  // namespace malvorn::window
