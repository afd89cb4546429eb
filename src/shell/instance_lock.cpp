#include "shell/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace malvorn::shell {

InstanceLock::~InstanceLock() {
    if (fd_ >= 0)
        ::close(fd_);  // closing releases the lock; the file stays for the next run
}

InstanceLock::Result InstanceLock::tryAcquire() {
    if (fd_ >= 0)
        return Result::kAcquired;
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return Result::kUnavailable;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        fd_ = fd;
        return Result::kAcquired;
    }
    const bool held = errno == EWOULDBLOCK;
    ::close(fd);
    return held ? Result::kHeldElsewhere : Result::kUnavailable;
}

std::string defaultInstanceLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && ::access(runtime, W_OK) == 0)
        return std::string(runtime) + "/malvorn.lock";
    return "/tmp/malvorn-" + std::to_string(::getuid()) + ".lock";
}

bool admitThisInstance(InstanceLock& lock, MessageService& messages) {
    switch (lock.tryAcquire()) {
        case InstanceLock::Result::kAcquired:
            return true;
        case InstanceLock::Result::kUnavailable:
            std::fprintf(stderr,
                         "Malvorn: cannot use the lock file %s; not checking for a second "
                         "instance\n",
                         lock.path().c_str());
            return true;
        case InstanceLock::Result::kHeldElsewhere:
            break;
    }
    messages.show(std::string(kAlreadyRunningText), MessageIcon::kExclamation, MessageButtons::kOk,
                  TitleForm::kBracketedError);
    return false;
}

}  // namespace malvorn::shell
