#pragma once

#include <string>

#include "base/file_descriptor.h"
#include "base/messages.h"

namespace malvorn::platform {

// Stands in for the platform's "a previous instance is running" test: an
// exclusive flock on a lock file. The kernel drops the lock when the holder
// ends, however it ends, so a crashed run never blocks the next start.
class InstanceLock {
  public:
    enum class Result {
        kAcquired,       // this process is the only one
        kHeldElsewhere,  // another running process holds it
        kUnavailable,    // the lock file could not be opened: nothing to test with
    };

    explicit InstanceLock(std::string path) : path_(std::move(path)) {}
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    Result tryAcquire();
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    base::FileDescriptor fd_;
};

// $XDG_RUNTIME_DIR/malvorn.lock, or /tmp/malvorn-<uid>.lock: one instance per
// user, as the platform's test was per desktop session.
std::string defaultInstanceLockPath();

inline constexpr std::string_view kAlreadyRunningText = "本プログラムは既に起動されています";

// The first step of start-up: false, after telling the user, when another
// copy already runs. A lock that cannot be made does not stop the program.
bool admitThisInstance(InstanceLock& lock, base::MessageService& messages);

}  // namespace malvorn::platform
