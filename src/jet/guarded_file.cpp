#include "jet/guarded_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "jet/jet_error.h"

namespace malvorn::jet {
namespace {

// What the stream claims as its size: the library compares a page's offset
// with it before seeking, and its own check would let a page that starts
// right at the end through as zeros. The seek below checks whole pages.
constexpr off64_t kClaimedSize = std::numeric_limits<off64_t>::max() / 4;

}  // namespace

GuardedFile::GuardedFile(const std::string& path) {
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd_.isOpen() || ::fstat(fd_.get(), &info) != 0) {
        const std::string reason = std::strerror(errno);
        throw makeJetError(JetErrorKind::kNoFile, path, reason);
    }
    size_ = info.st_size;
}

GuardedFile::~GuardedFile() = default;

std::FILE* GuardedFile::stream(long pageSize) {
    pageSize_ = pageSize;
    position_ = 0;
    std::FILE* file = ::fopencookie(
        this, "r", {&GuardedFile::read, nullptr, &GuardedFile::seek, &GuardedFile::close});
    // One page of buffer: an unbuffered stream would hand the library's
    // page reads to read() one byte at a time. Every seek to another page
    // still comes here to be checked.
    if (file != nullptr)
        std::setvbuf(file, nullptr, _IOFBF, static_cast<std::size_t>(pageSize));
    return file;
}

ssize_t GuardedFile::read(void* self, char* buffer, std::size_t size) {
    auto& file = *static_cast<GuardedFile*>(self);
    // The buffered stream may reach a page by reading on rather than by a
    // seek; a page that is not whole in the file is damage either way.
    if (file.pageSize_ > 0 && file.position_ + file.pageSize_ > file.size_) {
        file.notePageBeyondEnd(file.position_);
        return 0;
    }
    const ssize_t got = ::pread(file.fd_.get(), buffer, size, file.position_);
    if (got < 0) {
        if (file.problem_.empty())
            file.problem_ = std::string("読み取りエラー: ") + std::strerror(errno);
        return -1;
    }
    file.position_ += got;
    ++file.pagesRead_;
    return got;
}

int GuardedFile::seek(void* self, off64_t* offset, int whence) {
    auto& file = *static_cast<GuardedFile*>(self);
    off64_t target = *offset;
    if (whence == SEEK_CUR)
        target += file.position_;
    else if (whence == SEEK_END)
        target += kClaimedSize;
    if (whence == SEEK_SET && file.pageSize_ > 0 && target + file.pageSize_ > file.size_) {
        file.notePageBeyondEnd(target);
        errno = EINVAL;
        return -1;
    }
    file.position_ = target;
    *offset = target;
    return 0;
}

void GuardedFile::notePageBeyondEnd(off_t offset) {
    if (problem_.empty())
        problem_ = "ページ " + std::to_string(offset / pageSize_) +
                   " がファイルの終わりより後にあります。ファイルが途中で切れています";
}

int GuardedFile::close(void*) {
    return 0;  // the file is closed with the GuardedFile
}

}  // namespace malvorn::jet
