#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_system.h"

// What the chooser dialog decides without a window: its modes, where it
// starts, which files it lists and which volumes its drive list offers.
namespace malvorn::platform {

struct ChooserMode {
    std::string_view name;         // "File", "Script", "Folder", "Database"
    std::string_view titleSuffix;  // after "[" and the application title
    std::string_view pattern;      // shown in lblExp; parts separated by ";"
    bool filesSelectable;          // false: the file list only shows
};

// The mode of that name; nullptr for a name the dialog does not know.
const ChooserMode* chooserMode(std::string_view name);

// "[", the application title and the mode's suffix.
std::string chooserTitle(const ChooserMode& mode, std::string_view appTitle = "Malvorn");

// Whether a file name matches one of the ";"-separated wildcard parts ("*"
// any run, "?" one character). Letters compare without case, as the listing
// of the platform the patterns were written for did.
bool matchesPattern(std::string_view name, std::string_view pattern);

// Where the dialog opens for a starting path.
struct ChooserStart {
    std::string label;      // lblPath's first text
    std::string drive;      // the volume the drive list selects
    std::string folder;     // the folder the folder list opens
    std::string preselect;  // file name to select (case-sensitive); empty: none
};

// The start rules: a path holding a "." anywhere is a file path (its folder
// part is the start folder), any other path a folder (one trailing separator
// cut); an empty path starts in the program's folder. A start file or folder
// that does not exist opens the current folder of its volume, with nothing
// selected. A path whose volume cannot be named (a relative path) opens the
// working folder on its volume, with nothing selected.
ChooserStart chooserStart(const std::string& path, const std::string& programFolder,
                          const std::string& workingFolder, const base::FileSystem& fso);

// "The current folder of a drive": the working folder when it lies on that
// volume, else the volume's root.
std::string currentFolderOfDrive(const std::string& drive, const std::string& workingFolder,
                                 const base::FileSystem& fso);

// Index of the first entry equal to `name` (case-sensitive); -1 when none.
int preselectIndex(const std::vector<std::string>& entries, std::string_view name);

// The folder plus one name, with a single separator between them.
std::string childPath(const std::string& folder, const std::string& name);
// The folders from the root down to `folder`: "/", "/a", "/a/b".
std::vector<std::string> folderChain(const std::string& folder);

// The visible subfolders of a folder, sorted; nullopt when the folder cannot
// be opened (missing, unreadable, a volume gone).
std::optional<std::vector<std::string>> listSubfolders(const std::string& folder);
// The visible regular files matching the pattern, sorted; empty when the
// folder cannot be opened.
std::vector<std::string> listMatchingFiles(const std::string& folder, std::string_view pattern);

// One line of /proc/self/mountinfo.
struct MountEntry {
    std::string mountPoint;
    std::string fsType;
};
// Lines that do not parse are skipped; "\040"-style escapes are decoded.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The mount points a user would pick a folder on, sorted, "/" first, each
// once: pseudo and kernel file systems, anything under /proc, /sys, /dev and
// /run (except removable media under /run/media) and memory file systems
// other than /tmp are left out.
std::vector<std::string> userVolumes(const std::vector<MountEntry>& mounts);
// userVolumes of this process's mount table, keeping those that are folders
// (bind mounts of single files are not volumes). At least "/".
std::vector<std::string> mountedVolumes(const base::FileSystem& fso);

// The process's working folder; "/" when it cannot be read.
std::string workingFolder();

}  // namespace malvorn::platform
