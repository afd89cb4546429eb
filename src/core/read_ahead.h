#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace malvorn::core {

// One thread filling the next chunk of a copy while the caller sends the one
// before, in two chunks used in turn: at most two chunks in memory, and each
// filled again in place, so that what it holds keeps its memory. `Chunk` has
// a `bool last`: nothing is filled after a chunk that says so. The
// destructor waits for the chunk being filled, so nothing `fill` uses may go
// before this does.
template <typename Chunk>
class ReadAhead {
  public:
    explicit ReadAhead(std::function<void(Chunk&)> fill)
        : fill_(std::move(fill)), thread_([this] { run(); }) {}
    ~ReadAhead() {
        {
            const std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next chunk, once filled; the one after it is being filled on
    // return unless this one is the last. It stays as it is until the next
    // call.
    const Chunk& take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return ready_; });
        ready_ = false;
        const Chunk& taken = chunks_[filling_];
        if (!taken.last) {
            filling_ ^= 1;
            wanted_ = true;
            changed_.notify_all();
        }
        return taken;
    }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return wanted_ || quit_; });
            if (quit_)
                return;
            wanted_ = false;
            Chunk& chunk = chunks_[filling_];
            lock.unlock();
            fill_(chunk);
            lock.lock();
            ready_ = true;
            changed_.notify_all();
        }
    }

    std::function<void(Chunk&)> fill_;
    Chunk chunks_[2];
    std::mutex mutex_;
    std::condition_variable changed_;
    int filling_ = 0;     // the chunk being filled, or filled last
    bool wanted_ = true;  // chunks_[filling_] is to be filled
    bool ready_ = false;  // chunks_[filling_] is filled
    bool quit_ = false;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace malvorn::core
