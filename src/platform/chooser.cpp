#include "platform/chooser.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/files.h"
#include "base/paths.h"
#include "encoding/ascii.h"

namespace malvorn::platform {

namespace {

constexpr std::array<ChooserMode, 4> kModes = {{
    {"File", "] - データベースファイルの選択", "*.mdb", true},
    // The migration tab's: it reads .accdb files too.
    {"Database", "] - データベースファイルの選択", "*.mdb;*.accdb", true},
    {"Script", "] - ＳＱＬスクリプトの選択", "*.sql", true},
    {"Folder", "] - ＳＱＬ文フォルダの選択", "*.sql;*.txt", false},
}};

bool matchesWildcard(std::string_view name, std::string_view part) {
    // Greedy match with one backtrack point: the last "*" seen.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < part.size() && part[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < part.size() && (part[p] == '?' || encoding::asciiLower(part[p]) ==
                                                             encoding::asciiLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < part.size() && part[p] == '*')
        ++p;
    return p == part.size();
}

// The root has nothing before its separator: an absolute path whose folder
// part or trimmed form is empty means the root.
std::string rootIfEmpty(std::string folder, const std::string& path) {
    if (folder.empty() && !path.empty() && path.front() == base::kPathSeparator)
        return std::string(1, base::kPathSeparator);
    return folder;
}

bool isUnder(std::string_view path, std::string_view folder) {
    return path == folder ||
           (path.size() > folder.size() && path.starts_with(folder) && path[folder.size()] == '/');
}

// mountinfo writes space, tab, newline and backslash as three octal digits.
std::string unescapeMountField(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (digits.size() == 3 &&
                std::ranges::all_of(digits, [](char c) { return c >= '0' && c <= '7'; })) {
                out.push_back(static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 +
                                                (digits[2] - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

bool isPseudoFileSystem(std::string_view type) {
    static constexpr std::string_view kPseudo[] = {
        "proc",     "sysfs",      "cgroup",    "cgroup2",    "devpts",          "devtmpfs",
        "mqueue",   "debugfs",    "tracefs",   "securityfs", "pstore",          "bpf",
        "configfs", "fusectl",    "hugetlbfs", "autofs",     "binfmt_misc",     "efivarfs",
        "nsfs",     "rpc_pipefs", "selinuxfs", "squashfs",   "fuse.gvfsd-fuse", "fuse.portal",
        "nfsd",     "ramfs",
    };
    return std::ranges::find(kPseudo, type) != std::end(kPseudo);
}

template <typename Keep>
std::optional<std::vector<std::string>> listFolder(const std::string& folder, Keep keep) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue;  // hidden, and the "." and ".." entries
        if (keep(name))
            names.push_back(name);
    }
    std::ranges::sort(names);
    return names;
}

}  // namespace

const ChooserMode* chooserMode(std::string_view name) {
    const auto found = std::ranges::find(kModes, name, &ChooserMode::name);
    return found == kModes.end() ? nullptr : &*found;
}

std::string chooserTitle(const ChooserMode& mode, std::string_view appTitle) {
    std::string title = "[";
    title += appTitle;
    title += mode.titleSuffix;
    return title;
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
    while (true) {
        const auto semicolon = pattern.find(';');
        if (matchesWildcard(name, pattern.substr(0, semicolon)))
            return true;
        if (semicolon == std::string_view::npos)
            return false;
        pattern.remove_prefix(semicolon + 1);
    }
}

ChooserStart chooserStart(const std::string& path, const std::string& programFolder,
                          const std::string& workingFolder, const base::FileSystem& fso) {
    const bool fileGiven = path.find('.') != std::string::npos;
    ChooserStart start;
    std::string startFolder;
    if (path.empty()) {
        startFolder = programFolder;
        start.label = programFolder;
    } else {
        startFolder = rootIfEmpty(
            fileGiven ? base::gfFolderPart(path) : base::withoutTrailingSlash(path), path);
        start.label = path;
    }

    start.drive = fso.GetDriveName(startFolder);
    if (start.drive.empty()) {
        start.drive = fso.GetDriveName(workingFolder);
        start.folder = workingFolder;
        return start;
    }
    const bool exists = fileGiven ? fso.FileExists(path) : fso.FolderExists(startFolder);
    if (!exists) {
        start.folder = currentFolderOfDrive(start.drive, workingFolder, fso);
        return start;
    }
    start.folder = startFolder;
    if (fileGiven)
        start.preselect = base::gfFilePart(path);
    return start;
}

std::string currentFolderOfDrive(const std::string& drive, const std::string& workingFolder,
                                 const base::FileSystem& fso) {
    return fso.GetDriveName(workingFolder) == drive ? workingFolder : drive;
}

int preselectIndex(const std::vector<std::string>& entries, std::string_view name) {
    const auto found = std::ranges::find(entries, name);
    return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

std::string childPath(const std::string& folder, const std::string& name) {
    return base::withTrailingSlash(folder) + name;
}

std::vector<std::string> folderChain(const std::string& folder) {
    std::vector<std::string> chain{std::string(1, base::kPathSeparator)};
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == base::kPathSeparator) {
            if (pos > 1 && folder[pos - 1] != base::kPathSeparator)
                chain.push_back(folder.substr(0, pos));
        }
    }
    return chain;
}

std::optional<std::vector<std::string>> listSubfolders(const std::string& folder) {
    return listFolder(folder, [&](const std::string& name) {
        return base::folderExists(childPath(folder, name));
    });
}

std::vector<std::string> listMatchingFiles(const std::string& folder, std::string_view pattern) {
    auto names = listFolder(folder, [&](const std::string& name) {
        return matchesPattern(name, pattern) && base::fileExists(childPath(folder, name));
    });
    return names ? std::move(*names) : std::vector<std::string>{};
}

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source super
        std::istringstream fields(line);
        std::vector<std::string> words;
        for (std::string word; fields >> word;)
            words.push_back(word);
        const auto dash = std::ranges::find(words, "-");
        if (words.size() < 5 || dash == words.end() || dash + 1 == words.end() ||
            dash - words.begin() < 6)
            continue;
        mounts.push_back({unescapeMountField(words[4]), *(dash + 1)});
    }
    return mounts;
}

std::vector<std::string> userVolumes(const std::vector<MountEntry>& mounts) {
    std::vector<std::string> volumes;
    for (const MountEntry& mount : mounts) {
        const std::string& point = mount.mountPoint;
        if (point.empty() || point.front() != '/' || isPseudoFileSystem(mount.fsType))
            continue;
        if (isUnder(point, "/proc") || isUnder(point, "/sys") || isUnder(point, "/dev"))
            continue;
        if (isUnder(point, "/run") && !isUnder(point, "/run/media"))
            continue;
        if (mount.fsType == "tmpfs" && point != "/tmp")
            continue;
        volumes.push_back(point);
    }
    // "/" sorts first on its own.
    std::ranges::sort(volumes);
    const auto repeated = std::ranges::unique(volumes);
    volumes.erase(repeated.begin(), repeated.end());
    return volumes;
}

std::vector<std::string> mountedVolumes(const base::FileSystem& fso) {
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    std::vector<std::string> volumes;
    for (std::string& volume : userVolumes(parseMountInfo(text.str()))) {
        if (fso.FolderExists(volume))
            volumes.push_back(std::move(volume));
    }
    if (volumes.empty() || volumes.front() != "/")
        volumes.insert(volumes.begin(), "/");
    return volumes;
}

std::string workingFolder() {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), ::free);
    return cwd ? std::string(cwd.get()) : std::string("/");
}

}  // namespace malvorn::platform
