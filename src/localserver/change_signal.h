#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace malvorn::localserver {

// Two counters in a small file that every process using a server folder
// maps: a catalog change counts itself in `begun` before it starts and in
// `ended` once it has committed or failed. A session reads the catalog again
// only when `ended` has moved since it last looked, or while the two differ.
// A change cut short by a crash leaves them apart for good; sessions then
// read the catalog for every statement, which is slower but still right.
class ChangeSignal {
  public:
    // Without the file (it cannot be made or mapped) the signal is never settled.
    explicit ChangeSignal(const std::string& path);
    ChangeSignal(const ChangeSignal&) = delete;
    ChangeSignal& operator=(const ChangeSignal&) = delete;
    ~ChangeSignal();

    // The number of finished changes, or nullopt while one is under way.
    std::optional<std::uint64_t> settled() const;
    void begin();
    void end();

    // Counts one change from construction to destruction, committed or not.
    class Change {
      public:
        explicit Change(ChangeSignal& signal) : signal_(signal) { signal_.begin(); }
        Change(const Change&) = delete;
        Change& operator=(const Change&) = delete;
        ~Change() { signal_.end(); }

      private:
        ChangeSignal& signal_;
    };

  private:
    std::uint64_t* counters_ = nullptr;  // begun, ended; null without the file
};

}  // namespace malvorn::localserver
