#include "shell/files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <utility>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace malvorn::shell {
namespace {

using Names = std::vector<std::string>;

Names folderContents(const std::string& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

constexpr auto kAll = std::numeric_limits<std::size_t>::max();

// What a device does wrong: it takes at most `chunk` bytes a call and is full
// after `capacity`, when a write fails with `writeError` (or takes nothing if
// that is 0); fsync and rename fail with their error when it is set.
struct Faults {
    std::size_t chunk = kAll;
    std::size_t capacity = kAll;
    int writeError = 0;
    int fsyncError = 0;
    int renameError = 0;
    bool interruptFirstWrite = false;
};

class FailingDevice : public FileCalls {
  public:
    explicit FailingDevice(Faults faults) : f_(faults) {}

    long write(int fd, const void* data, std::size_t size) override {
        if (std::exchange(f_.interruptFirstWrite, false))
            return fail(EINTR);
        if (written_ >= f_.capacity)
            return f_.writeError == 0 ? 0 : fail(f_.writeError);
        const long n =
            FileCalls::write(fd, data, std::min({size, f_.chunk, f_.capacity - written_}));
        written_ += static_cast<std::size_t>(std::max(n, 0L));
        return n;
    }
    int fsync(int fd) override {
        return f_.fsyncError ? fail(f_.fsyncError) : FileCalls::fsync(fd);
    }
    int rename(const char* from, const char* to) override {
        return f_.renameError ? fail(f_.renameError) : FileCalls::rename(from, to);
    }

  private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    Faults f_;
    std::size_t written_ = 0;
};

TEST(Files, EveryInjectedFailureLeavesTheOldFileOrNoneAndNoTemporary) {
    const std::string kWrite = "ファイルに書き込めません: ";
    const std::string kCreate = "ファイルを作成できません: ";
    // message: what the user reads before the path; reason: errno whose text ends it
    const std::tuple<const char*, Faults, std::string, int> cases[] = {
        {"full after short writes",
         {.chunk = 4, .capacity = 6, .writeError = ENOSPC},
         kWrite,
         ENOSPC},
        {"device takes nothing", {.capacity = 0}, kWrite, ENOSPC},
        {"device fails on write", {.capacity = 0, .writeError = EIO}, kWrite, EIO},
        {"fsync fails", {.fsyncError = EIO}, kWrite, EIO},
        {"rename fails", {.renameError = EXDEV}, kCreate, EXDEV},
    };
    for (const auto& [name, faults, message, reason] : cases) {
        for (const bool existed : {true, false}) {
            SCOPED_TRACE(std::string(name) + (existed ? ", replacing" : ", new file"));
            TempDir dir;
            const std::string path = dir.path() + "/a.sql";
            if (existed)
                writeFileAtomically(path, "old complete content");
            FailingDevice calls(faults);
            std::string error = "none";
            try {
                writeFileAtomically(path, "new content, longer than one chunk", 0644, calls);
            } catch (const FileError& e) {
                error = e.path() + "|" + e.what();
            }
            EXPECT_EQ(error, path + "|" + message + path + " (" + std::strerror(reason) + ")");
            EXPECT_EQ(folderContents(dir.path()), existed ? Names{"a.sql"} : Names{});
            EXPECT_EQ(fileExists(path) ? readFileBytes(path) : "",
                      existed ? "old complete content" : "");
        }
    }
}

TEST(Files, InterruptedAndShortWritesStillWriteEveryByte) {
    TempDir dir;
    const std::string path = dir.path() + "/a.sql";
    writeFileAtomically(path, "first");
    FailingDevice calls({.chunk = 1, .interruptFirstWrite = true});
    const std::string bytes("se\0cond", 7);
    writeFileAtomically(path, bytes, 0644, calls);
    EXPECT_EQ(readFileBytes(path), bytes);
    EXPECT_EQ(folderContents(dir.path()), Names{"a.sql"});
}

TEST(Files, NewFileTakesTheRequestedModeAndAnExistingOneKeepsItsOwn) {
    TempDir dir;
    const std::string secret = dir.path() + "/secret";
    const auto mode = [&] {
        struct stat info {};
        return ::stat(secret.c_str(), &info) == 0 ? info.st_mode & 0777 : 0u;
    };
    writeFileAtomically(secret, "x", 0600);
    EXPECT_EQ(mode(), 0600u);
    ::chmod(secret.c_str(), 0640);
    writeFileAtomically(secret, "y", 0600);
    EXPECT_EQ(mode(), 0640u);
}

TEST(Files, ListsVisibleMatchingFilesSortedWithoutCaseAndMissingPathsAreTyped) {
    TempDir dir;
    // Hidden and other files are left out in the batch script's tests.
    for (const char* name : {"b.sql", "a.SQL", "d.sql.bak"})
        std::ofstream(dir.path() + "/" + name) << "x";
    std::filesystem::create_directory(dir.path() + "/folder.sql");
    EXPECT_EQ(listFiles(dir.path(), ".sql"), (Names{"a.SQL", "b.sql"}));
    EXPECT_THROW(listFiles(dir.path() + "/missing", ".sql"), FileError);
    EXPECT_THROW(readFileBytes(dir.path() + "/missing"), FileError);
    EXPECT_THROW(writeFileAtomically(dir.path() + "/missing/x.sql", "z"), FileError);
    const std::string file = dir.path() + "/b.sql", folder = dir.path() + "/folder.sql";
    EXPECT_EQ((std::vector{fileExists(file), fileExists(folder), folderExists(folder),
                           folderExists(file), folderExists("")}),
              (std::vector{true, false, true, false, false}));
}

}  // namespace
}  // namespace malvorn::shell
