#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace malvorn::base {

// A file could not be read, written or listed; `what()` is the text the user
// sees (Japanese), `path()` the file concerned.
class FileError : public std::runtime_error {
  public:
    FileError(const std::string& message, std::string path)
        : std::runtime_error(message), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

bool fileExists(const std::string& path);
bool folderExists(const std::string& path);

// The system calls through which the atomic writer changes the disk. The
// defaults are the real calls; tests override one to play a short write, a
// full disk or a failing device. A failing call sets errno and returns -1.
class FileCalls {
  public:
    virtual ~FileCalls() = default;
    virtual long write(int fd, const void* data, std::size_t size);
    virtual int fsync(int fd);
    virtual int rename(const char* from, const char* to);
};

// Writes the whole file or nothing: the bytes go to a temporary file beside
// the target, are flushed to disk and then renamed over it. `mode` applies to
// a newly created file. Throws FileError; the temporary file never remains.
void writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0644);
void writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         FileCalls& calls);

// Whole file as bytes. Throws FileError.
std::string readFileBytes(const std::string& path);

// Names (not paths) of the visible regular files in `folder` whose name ends
// in `extension` (compared without case, e.g. ".sql"), sorted by name so the
// order is the same on every file system.
std::vector<std::string> listFiles(const std::string& folder, std::string_view extension);

}  // namespace malvorn::base
