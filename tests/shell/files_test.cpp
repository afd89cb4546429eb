#include "shell/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace malvorn::shell {
namespace {

TEST(Files, AtomicWriteReplacesWholeFileAndLeavesNoTemporary) {
    TempDir dir;
    const std::string path = dir.path() + "/a.sql";
    writeFileAtomically(path, "first");
    writeFileAtomically(path, std::string("se\0cond", 7));
    EXPECT_EQ(readFileBytes(path), std::string("se\0cond", 7));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
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

TEST(Files, FailedWriteReportsThePathAndLeavesNothingBehind) {
    // A folder in the way makes the final rename fail, even for root.
    TempDir dir;
    const std::string path = dir.path() + "/a.sql";
    std::filesystem::create_directory(path);
    std::ofstream(path + "/keep") << "x";
    try {
        writeFileAtomically(path, "new");
        ADD_FAILURE() << "expected FileError";
    } catch (const FileError& e) {
        EXPECT_EQ(e.path(), path);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_THROW(writeFileAtomically(dir.path() + "/missing/x.sql", "z"), FileError);
}

TEST(Files, ListsVisibleMatchingFilesSortedWithoutCase) {
    TempDir dir;
    for (const char* name : {"b.sql", "a.SQL", ".hidden.sql", "c.txt", "d.sql.bak"}) {
        std::ofstream(dir.path() + "/" + name) << "x";
    }
    std::filesystem::create_directory(dir.path() + "/folder.sql");
    EXPECT_EQ(listFiles(dir.path(), ".sql"), (std::vector<std::string>{"a.SQL", "b.sql"}));
    EXPECT_THROW(listFiles(dir.path() + "/missing", ".sql"), FileError);
}

TEST(Files, ExistenceTestsTellFilesFromFolders) {
    TempDir dir;
    std::ofstream(dir.path() + "/f") << "x";
    EXPECT_TRUE(fileExists(dir.path() + "/f"));
    EXPECT_FALSE(fileExists(dir.path()));
    EXPECT_TRUE(folderExists(dir.path()));
    EXPECT_FALSE(folderExists(dir.path() + "/f"));
    EXPECT_FALSE(folderExists(""));
}

}  // namespace
}  // namespace malvorn::shell
