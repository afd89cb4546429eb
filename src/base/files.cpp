#include "base/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "base/file_descriptor.h"
#include "encoding/ascii.h"

namespace malvorn::base {
namespace {

std::string systemReason() {
    return std::strerror(errno);
}

}  // namespace

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool folderExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

long FileCalls::write(int fd, const void* data, std::size_t size) {
    return ::write(fd, data, size);
}

int FileCalls::fsync(int fd) {
    return ::fsync(fd);
}

int FileCalls::rename(const char* from, const char* to) {
    return ::rename(from, to);
}

void writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode) {
    FileCalls system;
    writeFileAtomically(path, bytes, mode, system);
}

void writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         FileCalls& calls) {
    std::string temporary = path + ".XXXXXX";
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.get() < 0) {
        throw FileError("ファイルを作成できません: " + path + " (" + systemReason() + ")", path);
    }
    // The temporary file goes away on every failure path.
    struct RemoveUnlessRenamed {
        const std::string& file;
        bool renamed = false;
        ~RemoveUnlessRenamed() {
            if (!renamed)
                ::unlink(file.c_str());
        }
    } guard{temporary};
    const auto writeFailed = [&path] {
        return FileError("ファイルに書き込めません: " + path + " (" + systemReason() + ")", path);
    };

    struct stat existing {};
    const mode_t fileMode =
        ::stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : static_cast<mode_t>(mode);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long n = calls.write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;  // a device that takes nothing would loop for ever
        if (n <= 0)
            throw writeFailed();
        done += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd.get(), fileMode) != 0 || calls.fsync(fd.get()) != 0 || fd.close() != 0) {
        throw writeFailed();
    }
    if (calls.rename(temporary.c_str(), path.c_str()) != 0) {
        throw FileError("ファイルを作成できません: " + path + " (" + systemReason() + ")", path);
    }
    guard.renamed = true;
}

std::string readFileBytes(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        throw FileError("ファイルを開けません: " + path + " (" + systemReason() + ")", path);
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            throw FileError("ファイルを読めません: " + path + " (" + systemReason() + ")", path);
        }
        if (n == 0)
            break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

std::vector<std::string> listFiles(const std::string& folder, std::string_view extension) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        throw FileError("フォルダを読めません: " + folder + " (" + systemReason() + ")", folder);
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name.empty() || name.front() == '.')
            continue;  // hidden
        if (!encoding::endsWithIgnoringAsciiCase(name, extension))
            continue;
        if (!fileExists(folder + "/" + name))
            continue;
        names.push_back(name);
    }
    std::ranges::sort(names);
    return names;
}

}  // namespace malvorn::base
