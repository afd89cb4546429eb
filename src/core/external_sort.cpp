#include "core/external_sort.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <queue>
#include <stdexcept>

namespace malvorn::core {
namespace {

// Runs merged at once: each open run holds a file and one record.
constexpr std::size_t kMaxFanIn = 32;

// Larger budgets are taken as this: held offsets are 32-bit.
constexpr std::size_t kLargestBudget = std::size_t{1} << 30;

// The held buffer is reserved up to this at once; beyond it, it grows.
constexpr std::size_t kLargestReserve = std::size_t{64} << 20;

// A held record's head: its key's and payload's lengths.
constexpr std::size_t kHeadBytes = 2 * sizeof(std::uint32_t);

void writeLength(std::ofstream& out, std::size_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    unsigned char bytes[4] = {
        static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
        static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void writeRecord(std::ofstream& out, std::string_view key, std::string_view payload) {
    writeLength(out, key.size());
    out.write(key.data(), static_cast<std::streamsize>(key.size()));
    writeLength(out, payload.size());
    out.write(payload.data(), static_cast<std::streamsize>(payload.size()));
}

void checkSizes(const SortRecord& record) {
    if (record.key.size() > UINT32_MAX - kHeadBytes ||
        record.payload.size() > UINT32_MAX - kHeadBytes - record.key.size())
        throw std::runtime_error("並べ替える行が大きすぎます");
}

}  // namespace

// One run file read back a record at a time.
class ExternalSort::Run {
  public:
    explicit Run(const std::string& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_)
            throw std::runtime_error("並べ替えの一時ファイルを開けません: " + path);
    }
    bool read(SortRecord& record) {
        std::uint32_t keyLength = 0;
        if (!readLength(keyLength, true))
            return false;
        readBytes(record.key, keyLength);
        std::uint32_t payloadLength = 0;
        readLength(payloadLength, false);
        readBytes(record.payload, payloadLength);
        return true;
    }

  private:
    bool readLength(std::uint32_t& length, bool endAllowed) {
        unsigned char bytes[4];
        in_.read(reinterpret_cast<char*>(bytes), sizeof bytes);
        if (in_.gcount() == 0 && endAllowed && in_.eof())
            return false;
        if (in_.gcount() != sizeof bytes)
            throw std::runtime_error("並べ替えの一時ファイルが途中で切れています: " + path_);
        length = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                 (std::uint32_t{bytes[2]} << 8) | bytes[3];
        return true;
    }
    void readBytes(std::string& out, std::uint32_t length) {
        out.resize(length);
        in_.read(out.data(), length);
        if (static_cast<std::uint32_t>(in_.gcount()) != length)
            throw std::runtime_error("並べ替えの一時ファイルが途中で切れています: " + path_);
    }

    std::string path_;
    std::ifstream in_;
};

// The runs being merged, each with its current record; equal keys come from
// the earlier run first, so the order added is kept.
struct ExternalSort::Merge {
    std::vector<std::unique_ptr<Run>> runs;
    std::vector<SortRecord> current;
    struct Later {
        const std::vector<SortRecord>* current;
        bool operator()(std::size_t a, std::size_t b) const {
            const auto& x = (*current)[a].key;
            const auto& y = (*current)[b].key;
            return x != y ? y < x : b < a;
        }
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, Later> heap{Later{&current}};

    explicit Merge(const std::vector<std::string>& paths) {
        current.resize(paths.size());
        for (std::size_t i = 0; i < paths.size(); ++i) {
            runs.push_back(std::make_unique<Run>(paths[i]));
            if (runs[i]->read(current[i]))
                heap.push(i);
        }
    }
    bool next(SortRecord& out) {
        if (heap.empty())
            return false;
        const std::size_t i = heap.top();
        heap.pop();
        out = std::move(current[i]);
        if (runs[i]->read(current[i]))
            heap.push(i);
        return true;
    }
};

ExternalSort::ExternalSort(std::size_t memoryBudget, std::string parentFolder)
    : budget_(std::min(memoryBudget, kLargestBudget)), parent_(std::move(parentFolder)) {}

ExternalSort::~ExternalSort() {
    merge_.reset();  // the files are closed before they go
    if (!folder_.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
}

std::string ExternalSort::newRunPath() {
    if (folder_.empty()) {
        const std::filesystem::path parent = parent_.empty()
                                                 ? std::filesystem::temp_directory_path()
                                                 : std::filesystem::path(parent_);
        std::string pattern = (parent / "malvorn-sort-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("並べ替えの一時フォルダを作れません: " + parent.string());
        folder_ = pattern;
    }
    return folder_ + "/run" + std::to_string(nextRunNumber_++);
}

std::string_view ExternalSort::heldKey(std::uint32_t offset) const {
    std::uint32_t length = 0;
    std::memcpy(&length, held_.data() + offset, sizeof length);
    return {held_.data() + offset + kHeadBytes, length};
}

std::string_view ExternalSort::heldPayload(std::uint32_t offset) const {
    std::uint32_t keyLength = 0;
    std::uint32_t length = 0;
    std::memcpy(&keyLength, held_.data() + offset, sizeof keyLength);
    std::memcpy(&length, held_.data() + offset + sizeof keyLength, sizeof length);
    return {held_.data() + offset + kHeadBytes + keyLength, length};
}

bool ExternalSort::overBudgetWith(std::size_t recordBytes) const {
    return held_.size() + recordBytes + (heldOffsets_.size() + 1) * sizeof(std::uint32_t) > budget_;
}

void ExternalSort::add(SortRecord record) {
    if (reading_)
        throw std::logic_error("ExternalSort::add after next");
    checkSizes(record);
    const std::size_t bytes = kHeadBytes + record.key.size() + record.payload.size();
    if (!heldOffsets_.empty() && overBudgetWith(bytes))
        spill();
    // Reserved once: growing by doubling would hold two copies at the step
    // and up to twice the budget after it.
    if (held_.capacity() < std::min(budget_, kLargestReserve))
        held_.reserve(std::min(budget_, kLargestReserve));
    const std::size_t offset = held_.size();
    const auto keyLength = static_cast<std::uint32_t>(record.key.size());
    const auto payloadLength = static_cast<std::uint32_t>(record.payload.size());
    held_.resize(offset + bytes);
    char* at = held_.data() + offset;
    std::memcpy(at, &keyLength, sizeof keyLength);
    std::memcpy(at + sizeof keyLength, &payloadLength, sizeof payloadLength);
    std::memcpy(at + kHeadBytes, record.key.data(), keyLength);
    std::memcpy(at + kHeadBytes + keyLength, record.payload.data(), payloadLength);
    heldOffsets_.push_back(static_cast<std::uint32_t>(offset));
    if (overBudgetWith(0))
        spill();  // a record larger than the budget goes to a run of its own
}

// Offsets grow in the order added, so ties broken by offset keep that order.
void ExternalSort::sortHeld() {
    std::sort(heldOffsets_.begin(), heldOffsets_.end(), [this](std::uint32_t a, std::uint32_t b) {
        const int order = heldKey(a).compare(heldKey(b));
        return order != 0 ? order < 0 : a < b;
    });
}

void ExternalSort::spill() {
    sortHeld();
    const std::string path = newRunPath();
    runPaths_.push_back(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const std::uint32_t offset : heldOffsets_)
        writeRecord(out, heldKey(offset), heldPayload(offset));
    out.close();
    if (!out)
        throw std::runtime_error("並べ替えの一時ファイルに書けません: " + path);
    ++runsWritten_;
    // The buffer is kept for the next run, unless a record larger than the
    // budget stretched it.
    if (held_.capacity() > std::min(budget_, kLargestReserve))
        held_ = {};
    held_.clear();
    heldOffsets_.clear();
}

void ExternalSort::mergeRuns(std::size_t first, std::size_t count) {
    const std::vector<std::string> paths(
        runPaths_.begin() + static_cast<std::ptrdiff_t>(first),
        runPaths_.begin() + static_cast<std::ptrdiff_t>(first + count));
    const std::string path = newRunPath();
    {
        Merge merge(paths);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        SortRecord record;
        while (merge.next(record))
            writeRecord(out, record.key, record.payload);
        out.close();
        if (!out)
            throw std::runtime_error("並べ替えの一時ファイルに書けません: " + path);
    }
    for (const auto& done : paths)
        std::filesystem::remove(done);
    runPaths_.erase(runPaths_.begin() + static_cast<std::ptrdiff_t>(first),
                    runPaths_.begin() + static_cast<std::ptrdiff_t>(first + count));
    runPaths_.insert(runPaths_.begin() + static_cast<std::ptrdiff_t>(first), path);
}

void ExternalSort::startReading() {
    reading_ = true;
    if (runPaths_.empty()) {
        sortHeld();
        return;
    }
    if (!heldOffsets_.empty())
        spill();
    held_ = {};
    heldOffsets_ = {};
    // Neighbouring runs are merged together, so the order added is kept for
    // equal keys through every pass.
    while (runPaths_.size() > kMaxFanIn) {
        for (std::size_t first = 0; first + 1 < runPaths_.size(); ++first)
            mergeRuns(first, std::min(kMaxFanIn, runPaths_.size() - first));
    }
    merge_ = std::make_unique<Merge>(runPaths_);
}

bool ExternalSort::next(SortRecord& out) {
    if (!reading_)
        startReading();
    if (merge_)
        return merge_->next(out);
    if (memoryIndex_ == heldOffsets_.size()) {
        held_ = {};
        heldOffsets_ = {};
        memoryIndex_ = 0;
        return false;
    }
    const std::uint32_t offset = heldOffsets_[memoryIndex_++];
    out.key = heldKey(offset);
    out.payload = heldPayload(offset);
    return true;
}

}  // namespace malvorn::core
