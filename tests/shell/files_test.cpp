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

std::vector<std::string> folderContents(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

// A device that takes at most `chunk` bytes a call and is full after
// `capacity`; then a write fails with `writeError`, or takes nothing when it
// is 0. The other calls fail with their error when it is set.
class FailingDevice : public FileCalls {
  public:
    std::size_t chunk = std::numeric_limits<std::size_t>::max();
    std::size_t capacity = std::numeric_limits<std::size_t>::max();
    int writeError = 0;
    int fsyncError = 0;
    int renameError = 0;
    bool interruptFirstWrite = false;

    long write(int fd, const void* data, std::size_t size) override {
        if (std::exchange(interruptFirstWrite, false))
            return fail(EINTR);
        if (written_ >= capacity)
            return writeError == 0 ? 0 : fail(writeError);
        const long n = FileCalls::write(fd, data, std::min({size, chunk, capacity - written_}));
        written_ += static_cast<std::size_t>(std::max(n, 0L));
        return n;
    }
    int fsync(int fd) override { return fsyncError ? fail(fsyncError) : FileCalls::fsync(fd); }
    int rename(const char* from, const char* to) override {
        return renameError ? fail(renameError) : FileCalls::rename(from, to);
    }

  private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
    std::size_t written_ = 0;
};

struct Fault {
    const char* name;
    FailingDevice device;
    const char* message;  // what the user reads before the path
    int reason;           // errno whose text ends the message
};

FailingDevice device(std::size_t chunk, std::size_t capacity, int writeError, int fsyncError = 0,
                     int renameError = 0) {
    FailingDevice d;
    d.chunk = chunk;
    d.capacity = capacity;
    d.writeError = writeError;
    d.fsyncError = fsyncError;
    d.renameError = renameError;
    return d;
}

constexpr auto kAll = std::numeric_limits<std::size_t>::max();

TEST(Files, EveryInjectedFailureLeavesTheOldFileOrNoneAndNoTemporary) {
    const Fault faults[] = {
        {"disk full after short writes", device(4, 6, ENOSPC),
         "ファイルに書き込めません: ", ENOSPC},
        {"device takes nothing", device(kAll, 0, 0), "ファイルに書き込めません: ", ENOSPC},
        {"device fails on write", device(kAll, 0, EIO), "ファイルに書き込めません: ", EIO},
        {"fsync fails", device(kAll, kAll, 0, EIO), "ファイルに書き込めません: ", EIO},
        {"rename fails", device(kAll, kAll, 0, 0, EXDEV), "ファイルを作成できません: ", EXDEV},
    };
    for (const Fault& fault : faults) {
        for (const bool existed : {true, false}) {
            SCOPED_TRACE(std::string(fault.name) + (existed ? ", replacing" : ", new file"));
            TempDir dir;
            const std::string path = dir.path() + "/a.sql";
            if (existed)
                writeFileAtomically(path, "old complete content");
            FailingDevice calls = fault.device;
            try {
                writeFileAtomically(path, "new content, longer than one chunk", 0644, calls);
                ADD_FAILURE() << "expected FileError";
            } catch (const FileError& e) {
                EXPECT_EQ(e.path(), path);
                EXPECT_EQ(std::string(e.what()),
                          fault.message + path + " (" + std::strerror(fault.reason) + ")");
            }
            if (existed) {
                EXPECT_EQ(readFileBytes(path), "old complete content");
                EXPECT_EQ(folderContents(dir.path()), std::vector<std::string>{"a.sql"});
            } else {
                EXPECT_EQ(folderContents(dir.path()), std::vector<std::string>{});
            }
        }
    }
}

TEST(Files, InterruptedAndShortWritesStillWriteEveryByte) {
    TempDir dir;
    const std::string path = dir.path() + "/a.sql";
    writeFileAtomically(path, "first");
    FailingDevice calls = device(1, kAll, 0);
    calls.interruptFirstWrite = true;
    const std::string bytes("se\0cond", 7);
    writeFileAtomically(path, bytes, 0644, calls);
    EXPECT_EQ(readFileBytes(path), bytes);
    EXPECT_EQ(folderContents(dir.path()), std::vector<std::string>{"a.sql"});
}

TEST(Files, RealFailuresAreTypedAndLeaveNothingBehind) {
    // A folder in the way makes the real rename fail, even for root.
    TempDir dir;
    const std::string path = dir.path() + "/a.sql";
    std::filesystem::create_directory(path);
    EXPECT_THROW(writeFileAtomically(path, "new"), FileError);
    EXPECT_EQ(folderContents(dir.path()), std::vector<std::string>{"a.sql"});
    EXPECT_THROW(writeFileAtomically(dir.path() + "/missing/x.sql", "z"), FileError);
    EXPECT_THROW(readFileBytes(dir.path() + "/missing"), FileError);
}

TEST(Files, NewFileTakesTheRequestedModeAndAnExistingOneKeepsItsOwn) {
    TempDir dir;
    const std::string secret = dir.path() + "/secret";
    writeFileAtomically(secret, "x", 0600);
    struct stat info {};
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    ::chmod(secret.c_str(), 0640);
    writeFileAtomically(secret, "y", 0600);
    ASSERT_EQ(::stat(secret.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(Files, ListsVisibleMatchingFilesSortedWithoutCase) {
    TempDir dir;
    for (const char* name : {"b.sql", "a.SQL", ".hidden.sql", "c.txt", "d.sql.bak"}) {
        std::ofstream(dir.path() + "/" + name) << "x";
    }
    std::filesystem::create_directory(dir.path() + "/folder.sql");
    EXPECT_EQ(listFiles(dir.path(), ".sql"), (std::vector<std::string>{"a.SQL", "b.sql"}));
    EXPECT_THROW(listFiles(dir.path() + "/missing", ".sql"), FileError);
    EXPECT_TRUE(fileExists(dir.path() + "/b.sql"));
    EXPECT_FALSE(fileExists(dir.path() + "/folder.sql"));
    EXPECT_TRUE(folderExists(dir.path() + "/folder.sql"));
    EXPECT_FALSE(folderExists(dir.path() + "/b.sql"));
    EXPECT_FALSE(folderExists(""));
}

}  // namespace
}  // namespace malvorn::shell
