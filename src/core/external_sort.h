#pragma once

// A sort of records by a byte key in bounded memory: records are held up to a
// budget, then sorted and written to a run file; the runs are merged when
// read. Held records are packed end to end in one buffer and sorted as
// offsets into it, so the budget is what the sort holds, not a part of it.
// The spill files live in a folder of their own, removed with every file in
// it when the sort is destroyed, whichever way that happens.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace malvorn::core {

struct SortRecord {
    std::string key;  // compared as unsigned bytes
    std::string payload;
};

class ExternalSort {
  public:
    // `parentFolder`: where the spill folder is made (empty: the system's
    // temporary folder). Nothing is written until the budget is passed.
    explicit ExternalSort(std::size_t memoryBudget, std::string parentFolder = {});
    ~ExternalSort();
    ExternalSort(const ExternalSort&) = delete;
    ExternalSort& operator=(const ExternalSort&) = delete;

    // Throws std::runtime_error when a spill file cannot be written.
    void add(SortRecord record);
    // The records in key order, equal keys in the order added; the first
    // call ends the adding. Throws std::runtime_error on a read failure.
    bool next(SortRecord& out);

    std::size_t spilledRuns() const { return runsWritten_; }
    // The spill folder, empty while nothing was spilled.
    const std::string& spillFolder() const { return folder_; }

  private:
    class Run;
    struct Merge;
    void spill();
    void startReading();
    std::string newRunPath();
    // Merges runs [first, first + count) into one new run file.
    void mergeRuns(std::size_t first, std::size_t count);

    bool overBudgetWith(std::size_t recordBytes) const;
    void sortHeld();
    std::string_view heldKey(std::uint32_t offset) const;
    std::string_view heldPayload(std::uint32_t offset) const;

    std::size_t budget_;
    std::string parent_;
    std::string folder_;
    // Each held record: key length, payload length (native u32s), key, payload.
    std::vector<char> held_;
    std::vector<std::uint32_t> heldOffsets_;
    std::vector<std::string> runPaths_;
    std::size_t runsWritten_ = 0;
    std::size_t nextRunNumber_ = 0;
    bool reading_ = false;
    std::size_t memoryIndex_ = 0;  // reading from held_ when nothing was spilled
    std::unique_ptr<Merge> merge_;
};

}  // namespace malvorn::core
