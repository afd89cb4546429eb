#pragma once

// Tables migrated side by side: a small pool that hands out table numbers in
// the file's order, and the turns that keep the order-dependent steps of
// each table (its definition read, its constraint names taken) in that order
// whatever the jobs' speeds.
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace malvorn::core {

class TableTurns {
  public:
    // Blocks until every table before `index` has passed its turn.
    void waitFor(std::size_t index);
    void pass(std::size_t index);

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t next_ = 0;
};

// One table's turn: waited for when made, passed when pass() is called or,
// on any way out of the table's work, when destroyed.
class TableTurn {
  public:
    TableTurn(TableTurns* turns, std::size_t index) : turns_(turns), index_(index) {
        if (turns_)
            turns_->waitFor(index_);
    }
    ~TableTurn() { pass(); }
    TableTurn(const TableTurn&) = delete;
    TableTurn& operator=(const TableTurn&) = delete;
    void pass() {
        if (turns_ && !passed_)
            turns_->pass(index_);
        passed_ = true;
    }

  private:
    TableTurns* turns_;
    std::size_t index_;
    bool passed_ = false;
};

// Runs work(job, index) for index 0, 1, ... count - 1 on `jobs` threads, each
// taking the next index when it is free, until `more` says no more are to
// start. Returns when every started index is done; an exception escaping
// `work` is rethrown here (the first one) after the others finished.
void runJobs(std::size_t jobs, std::size_t count, const std::function<bool()>& more,
             const std::function<void(std::size_t job, std::size_t index)>& work);

}  // namespace malvorn::core
