#pragma once

#include <unistd.h>

#include <utility>

namespace malvorn::base {

// Owns a POSIX file descriptor: closed when the owner ends, whatever path
// it ends by. -1 is "none".
class FileDescriptor {
  public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    // Gives the descriptor up without closing it.
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    // Closes now and reports close()'s result, for writers that must know
    // the data reached the file; the destructor then does nothing.
    int close() { return ::close(release()); }

  private:
    int fd_ = -1;
};

}  // namespace malvorn::base
