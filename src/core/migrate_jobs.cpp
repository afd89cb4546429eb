#include "core/migrate_jobs.h"

#include <exception>
#include <thread>
#include <vector>

namespace malvorn::core {

void TableTurns::waitFor(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return next_ >= index; });
}

void TableTurns::pass(std::size_t index) {
    {
        const std::lock_guard lock(mutex_);
        if (next_ <= index)
            next_ = index + 1;
    }
    changed_.notify_all();
}

void runJobs(std::size_t jobs, std::size_t count, const std::function<bool()>& more,
             const std::function<void(std::size_t job, std::size_t index)>& work) {
    std::mutex mutex;
    std::size_t next = 0;
    std::exception_ptr failure;
    const auto job = [&](std::size_t number) {
        for (;;) {
            std::size_t index = 0;
            {
                const std::lock_guard lock(mutex);
                if (next == count || failure || !more())
                    return;
                index = next++;
            }
            try {
                work(number, index);
            } catch (...) {
                const std::lock_guard lock(mutex);
                if (!failure)
                    failure = std::current_exception();
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t n = 1; n < jobs && n < count; ++n)
        threads.emplace_back(job, n);
    job(0);
    for (auto& thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace malvorn::core
