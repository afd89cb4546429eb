#pragma once

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "base/file_system.h"
#include "platform/chooser.h"
#include "platform/work_area.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace malvorn::window {

// What the chooser needs from its surroundings. folderContextFor fills it
// from the running program; tests give their own volumes and folders.
struct FolderContext {
    platform::WorkArea workArea;  // in twips
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    std::string programFolder;
    std::string workingFolder;
    std::vector<std::string> volumes;  // the drive list's entries
    const base::FileSystem* fso = &base::gFso();
};

// The screen `window` lies on, the program's folder, the working folder and
// the mounted volumes.
FolderContext folderContextFor(const QWidget& window);

// The modal file and folder chooser. Controls carry their design names
// (drvTarget, dirSource, filDb, lblExp, cmdOk, cmdCan, lblPath, timInitial).
// ShowForm returns the path OK chose; Cancel, or OK without a file where one
// is asked for, returns nothing.
class frmFolder : public QDialog {
    Q_OBJECT

  public:
    explicit frmFolder(FolderContext context, QWidget* parent = nullptr);
    ~frmFolder() override;

    // The starting path, set before ShowForm.
    const std::string& Path() const { return path_; }
    void setPath(std::string path) { path_ = std::move(path); }

    // Loads the dialog for "File", "Script" or "Folder" and shows it modally;
    // returns once OK or Cancel has closed it, with OK's path. Throws
    // std::invalid_argument for any other mode.
    std::optional<std::string> ShowForm(const std::string& strMode);

    // What the lists show, for the caller's checks.
    std::string currentDrive() const;
    std::string currentFolder() const { return folder_; }  // opened, not highlighted
    std::string fileFolder() const { return fileFolder_; }
    std::vector<std::string> files() const;
    std::string selectedFile() const;  // empty when none

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    void loadForMode();
    void setChooserTabOrder();
    void selectDrive(const std::string& drive);
    bool openFolder(const std::string& folder);  // false: cannot be opened
    void drvTarget_Change();
    void dirSource_Change();
    void dirSource_DblClick(QTreeWidgetItem* item);
    void timInitial_Timer();
    void cmdOk_Click();
    void cmdCan_Click();

    FolderContext context_;
    std::optional<std::string> chosen_;  // what OK chose
    std::string path_;
    const platform::ChooserMode* mode_ = nullptr;
    std::string folder_;      // dirSource's current folder
    std::string fileFolder_;  // filDb's folder
    int driveIndex_ = -1;     // the drive list's accepted entry

    QComboBox* drvTarget_ = nullptr;
    QTreeWidget* dirSource_ = nullptr;
    QListWidget* filDb_ = nullptr;
    QLabel* lblExp_ = nullptr;
    QPushButton* cmdOk_ = nullptr;
    QPushButton* cmdCan_ = nullptr;
    QLabel* lblPath_ = nullptr;
    QTimer* timInitial_ = nullptr;
};

}  // namespace malvorn::window
