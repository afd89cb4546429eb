#include "platform/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace malvorn::platform {

// Closing the descriptor releases the lock; the file stays for the next run.
InstanceLock::~InstanceLock() = default;

InstanceLock::Result InstanceLock::tryAcquire() {
    if (fd_.isOpen())
        return Result::kAcquired;
    base::FileDescriptor fd(::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.isOpen())
        return Result::kUnavailable;
    int rc;
    do {
        rc = ::flock(fd.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        fd_ = std::move(fd);
        return Result::kAcquired;
    }
    const bool held = errno == EWOULDBLOCK;
    return held ? Result::kHeldElsewhere : Result::kUnavailable;
}

std::string defaultInstanceLockPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && ::access(runtime, W_OK) == 0)
        return std::string(runtime) + "/malvorn.lock";
    return "/tmp/malvorn-" + std::to_string(::getuid()) + ".lock";
}

bool admitThisInstance(InstanceLock& lock, base::MessageService& messages) {
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
    messages.show(std::string(kAlreadyRunningText), base::MessageIcon::kExclamation,
                  base::MessageButtons::kOk, base::TitleForm::kBracketedError);
    return false;
}

}  // namespace malvorn::platform
