#pragma once
// Opened once a session starts to wait for another's lock: the test then
// knows the wait has begun, without sleeping for it.
#include <condition_variable>
#include <functional>
#include <mutex>

namespace malvorn::localserver {

class WaitSeen {
  public:
    std::function<void()> observer() {
        return [this] {
            const std::lock_guard lock(mutex_);
            seen_ = true;
            changed_.notify_all();
        };
    }
    void wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return seen_; });
    }
    bool seen() {
        const std::lock_guard lock(mutex_);
        return seen_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool seen_ = false;
};

}  // namespace malvorn::localserver
