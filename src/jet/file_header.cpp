// The first page of a Jet file, read before the reading library sees it.
#include "jet/file_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_descriptor.h"
#include "jet/jet_decode.h"
#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

constexpr int kVersionOffset = 0x14;  // 0: Jet 3 (2 KB pages), else 4 KB pages

// What is at a path that exists but is no file, in words for the user.
std::string whatIsThere(mode_t mode) {
    if (S_ISDIR(mode))
        return "フォルダーです";
    if (S_ISFIFO(mode))
        return "名前付きパイプです";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "デバイスです";
    if (S_ISSOCK(mode))
        return "ソケットです";
    return "通常のファイルではありません";
}

JetError cannotOpen(const std::string& path, int error) {
    switch (error) {
        case ENOENT:
        case ENOTDIR:
            return makeJetError(JetErrorKind::kNoFile, path);
        case EACCES:
        case EPERM:
            return JetError(JetErrorKind::kNoFile, "Jetデータベースファイルを読み取れません: " +
                                                       path + " (読み取りの権限がありません)");
        case ELOOP:
            return JetError(JetErrorKind::kNoFile, "Jetデータベースファイルを開けません: " + path +
                                                       " (シンボリックリンクが循環しています)");
        default:
            return JetError(JetErrorKind::kNoFile, "Jetデータベースファイルを読み取れません: " +
                                                       path + " (" + std::strerror(error) + ")");
    }
}

}  // namespace

void checkJetHeader(const std::string& path) {
    // Non-blocking, so that a named pipe at the path cannot hold the open.
    const base::FileDescriptor fd(
        ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen())
        throw cannotOpen(path, errno);
    struct stat info {};
    const bool known = ::fstat(fd.get(), &info) == 0;
    const int statError = errno;
    if (!known || !S_ISREG(info.st_mode)) {
        if (!known)
            throw cannotOpen(path, statError);
        throw JetError(JetErrorKind::kNoFile, "Jetデータベースファイルではなく、" +
                                                  whatIsThere(info.st_mode) + ": " + path);
    }
    unsigned char header[kHeaderBytesForKey] = {};
    const ssize_t got = ::pread(fd.get(), header, sizeof header, 0);
    const int readError = errno;
    if (got < 0)
        throw cannotOpen(path, readError);
    const bool jetName = std::memcmp(header + 4, "Standard Jet DB", 15) == 0 ||
                         std::memcmp(header + 4, "Standard ACE DB", 15) == 0;
    if (got != sizeof header || header[0] != 0 || !jetName)
        throw makeJetError(JetErrorKind::kNotJet, path);
    if (aceEncrypted(header, sizeof header))
        throw makeJetError(JetErrorKind::kEncrypted, path);
    // A Jet file is whole pages, at least the header page and the catalog.
    const off_t pageSize = header[kVersionOffset] == 0 ? 2048 : 4096;
    if (info.st_size < 2 * pageSize || info.st_size % pageSize != 0)
        throw makeJetError(JetErrorKind::kDamaged, path,
                           "大きさがページ (" + std::to_string(pageSize) +
                               " バイト) の倍数ではありません。ファイルが途中で切れています");
}

}  // namespace malvorn::jet
