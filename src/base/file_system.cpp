#include "base/file_system.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/files.h"

namespace malvorn::base {

bool LocalFileSystem::FileExists(const std::string& path) const {
    return fileExists(path);
}

bool LocalFileSystem::FolderExists(const std::string& path) const {
    return folderExists(path);
}

std::string LocalFileSystem::GetDriveName(const std::string& path) const {
    if (path.empty() || path.front() != '/')
        return {};
    std::filesystem::path current = std::filesystem::path(path).lexically_normal();
    struct stat info {};
    while (::stat(current.c_str(), &info) != 0) {
        if (current == current.root_path())
            return {};
        current = current.parent_path();
    }
    // Walk up while the parent lies on the same device: the last folder on it
    // is where the volume is mounted.
    if (!S_ISDIR(info.st_mode))
        current = current.parent_path();
    while (current != current.root_path()) {
        const std::filesystem::path parent = current.parent_path();
        struct stat parentInfo {};
        if (::stat(parent.c_str(), &parentInfo) != 0 || parentInfo.st_dev != info.st_dev)
            break;
        current = parent;
    }
    std::string drive = current.string();
    if (drive.size() > 1 && drive.back() == '/')
        drive.pop_back();
    return drive;
}

const FileSystem& gFso() {
    static const LocalFileSystem fso;
    return fso;
}

}  // namespace malvorn::base
