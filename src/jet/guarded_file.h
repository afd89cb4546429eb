#pragma once

#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/file_descriptor.h"

namespace malvorn::jet {

// The database file as the Jet library reads it: a stdio stream over the
// file that notes every page the library asks for beyond the end of the
// file and every failed read. The library itself only prints such failures
// and goes on with a stale page, so a truncated file would read as a table
// without rows; the caller asks problem() after each library call instead.
class GuardedFile {
  public:
    // Opens `path` for reading; throws JetError when it cannot.
    explicit GuardedFile(const std::string& path);
    ~GuardedFile();
    GuardedFile(const GuardedFile&) = delete;
    GuardedFile& operator=(const GuardedFile&) = delete;

    off_t size() const { return size_; }

    // A new stream over the file for pages of `pageSize` bytes;
    // whoever holds it closes it with fclose (the file stays open).
    std::FILE* stream(long pageSize);

    // Pages handed to the library so far, and how many the file holds.
    std::uint64_t pagesRead() const { return pagesRead_; }
    std::uint64_t pages() const {
        return pageSize_ > 0 ? static_cast<std::uint64_t>(size_ / pageSize_) : 0;
    }

    // What went wrong so far, in words for the user; empty when nothing.
    const std::string& problem() const { return problem_; }

  private:
    void notePageBeyondEnd(off_t offset);
    static ssize_t read(void* self, char* buffer, std::size_t size);
    static int seek(void* self, off64_t* offset, int whence);
    static int close(void* self);

    base::FileDescriptor fd_;
    off_t size_ = 0;
    off_t position_ = 0;
    long pageSize_ = 0;
    std::string problem_;
    std::uint64_t pagesRead_ = 0;
};

}  // namespace malvorn::jet
