#include "localserver/change_signal.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "base/file_descriptor.h"

namespace malvorn::localserver {
namespace {

constexpr std::size_t kBytes = 2 * sizeof(std::uint64_t);

static_assert(std::atomic_ref<std::uint64_t>::is_always_lock_free,
              "counters shared between processes must not hide a lock");

std::atomic_ref<std::uint64_t> counter(std::uint64_t* counters, int index) {
    return std::atomic_ref<std::uint64_t>(counters[index]);
}

}  // namespace

ChangeSignal::ChangeSignal(const std::string& path) {
    const base::FileDescriptor file(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (!file.isOpen())
        return;
    const int fd = file.get();
    struct stat info {};
    // Growing a new file is the same for every process that races to do it;
    // a longer file is never cut.
    if (::fstat(fd, &info) == 0 &&
        (info.st_size >= static_cast<off_t>(kBytes) || ::ftruncate(fd, kBytes) == 0)) {
        void* mapped = ::mmap(nullptr, kBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (mapped != MAP_FAILED)
            counters_ = static_cast<std::uint64_t*>(mapped);
    }
}

ChangeSignal::~ChangeSignal() {
    if (counters_)
        ::munmap(counters_, kBytes);
}

std::optional<std::uint64_t> ChangeSignal::settled() const {
    if (!counters_)
        return std::nullopt;
    // `ended` first: a change finishing in between then shows as unsettled
    // or as a new count, never as the old one.
    const std::uint64_t ended = counter(counters_, 1).load();
    const std::uint64_t begun = counter(counters_, 0).load();
    if (begun != ended)
        return std::nullopt;
    return ended;
}

void ChangeSignal::begin() {
    if (counters_)
        counter(counters_, 0).fetch_add(1);
}

void ChangeSignal::end() {
    if (counters_)
        counter(counters_, 1).fetch_add(1);
}

}  // namespace malvorn::localserver
