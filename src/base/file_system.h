#pragma once

#include <string>

namespace malvorn::base {

// The one file-system object the commands and the chooser share (gFso).
class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual bool FileExists(const std::string& path) const = 0;
    virtual bool FolderExists(const std::string& path) const = 0;
    // The "drive" of a path: on this platform the folder where the mounted
    // volume holding the path begins ("/" for the root volume, "/home" when
    // /home is a mount of its own). A path that does not exist yet belongs
    // to the volume of its nearest existing folder. A relative path has no
    // drive: the empty text.
    virtual std::string GetDriveName(const std::string& path) const = 0;
};

class LocalFileSystem : public FileSystem {
  public:
    bool FileExists(const std::string& path) const override;
    bool FolderExists(const std::string& path) const override;
    std::string GetDriveName(const std::string& path) const override;
};

// The program's one file-system object, made on first use.
const FileSystem& gFso();

}  // namespace malvorn::base
