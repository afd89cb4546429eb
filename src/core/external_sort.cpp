#include "core/external_sort.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <queue>
#include <stdexcept>

namespace malvorn::core {
namespace {

// Runs merged at once: each open run holds a file and one record.
constexpr std::size_t kMaxFanIn = 32;

// What a held record costs beyond its bytes: the strings' own heads.
constexpr std::size_t kRecordOverhead = sizeof(SortRecord);

void writeLength(std::ofstream& out, std::size_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    unsigned char bytes[4] = {
        static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
        static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

void writeRecord(std::ofstream& out, const SortRecord& record) {
    if (record.key.size() > UINT32_MAX || record.payload.size() > UINT32_MAX)
        throw std::runtime_error("並べ替える行が大きすぎます");
    writeLength(out, record.key.size());
    out.write(record.key.data(), static_cast<std::streamsize>(record.key.size()));
    writeLength(out, record.payload.size());
    out.write(record.payload.data(), static_cast<std::streamsize>(record.payload.size()));
}

bool keyBefore(const SortRecord& a, const SortRecord& b) {
    return a.key < b.key;
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
    : budget_(memoryBudget), parent_(std::move(parentFolder)) {}

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

void ExternalSort::add(SortRecord record) {
    if (reading_)
        throw std::logic_error("ExternalSort::add after next");
    heldBytes_ += record.key.size() + record.payload.size() + kRecordOverhead;
    held_.push_back(std::move(record));
    if (heldBytes_ > budget_)
        spill();
}

void ExternalSort::spill() {
    std::stable_sort(held_.begin(), held_.end(), keyBefore);
    const std::string path = newRunPath();
    runPaths_.push_back(path);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& record : held_)
        writeRecord(out, record);
    out.close();
    if (!out)
        throw std::runtime_error("並べ替えの一時ファイルに書けません: " + path);
    ++runsWritten_;
    held_ = {};  // the capacity goes too
    heldBytes_ = 0;
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
            writeRecord(out, record);
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
        std::stable_sort(held_.begin(), held_.end(), keyBefore);
        return;
    }
    if (!held_.empty())
        spill();
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
    if (memoryIndex_ == held_.size()) {
        held_ = {};
        memoryIndex_ = 0;
        return false;
    }
    out = std::move(held_[memoryIndex_++]);
    return true;
}

}  // namespace malvorn::core
