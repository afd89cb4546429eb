#include "base/files.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include <gtest/gtest.h>

#include "base/paths.h"
#include "base/script_folding.h"
#include "encoding/cp932.h"
#include "support/temp_dir.h"

namespace malvorn::base {
namespace {

using Names = std::vector<std::string>;

Names folderContents(const std::string& folder) {
    Names names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::ranges::sort(names);
    return names;
}

// A device taking at most `chunk` bytes a call, full after `capacity`, when a write
// fails with `writeError` (or takes nothing if 0); fsync and rename fail if set.
struct Faults {
    std::size_t chunk = SIZE_MAX, capacity = SIZE_MAX;
    int writeError = 0, fsyncError = 0, renameError = 0;
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
        {"short, then full", {.chunk = 4, .capacity = 6, .writeError = ENOSPC}, kWrite, ENOSPC},
        {"device takes nothing", {.capacity = 0}, kWrite, ENOSPC},
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

TEST(Files, ListsVisibleMatchingFilesSortedWithoutCaseAndMissingPathsAreTyped) {
    TempDir dir;
    for (const char* name : {"b.sql", "a.SQL", "d.sql.bak"})
        std::ofstream(dir.path() + "/" + name) << "x";
    std::filesystem::create_directory(dir.path() + "/folder.sql");
    EXPECT_EQ(listFiles(dir.path(), ".sql"), (Names{"a.SQL", "b.sql"}));
    EXPECT_THROW(listFiles(dir.path() + "/missing", ".sql"), FileError);
}

TEST(PathHelpers, SampleTable) {
    const std::tuple<std::string (*)(std::string_view), const char*, const char*> cases[] = {
        {withTrailingSlash, "/data", "/data/"},
        {withTrailingSlash, "/", "/"},
        {withTrailingSlash, "", "/"},
        {withoutTrailingSlash, "/data/", "/data"},
        {withoutTrailingSlash, "//", "/"},
        {withoutTrailingSlash, "", ""},
        {gfFolderPart, "/data/a.mdb", "/data"},
        {gfFolderPart, "a.mdb", ""},
        {gfFolderPart, "/a.mdb", ""},
        {gfFilePart, "a.mdb", ""},
        {gfFilePart, "/data/", ""},
        {gfFilePart, "/データ/受注.mdb", "受注.mdb"}};
    for (const auto& [helper, path, expected] : cases)
        EXPECT_EQ(helper(path), expected) << path;
}

TEST(FoldScript, LinesBecomeOneStatement) {
    const std::tuple<const char*, std::vector<std::string>, std::string> cases[] = {
        {"table script",
         {"/* header */", "CREATE TABLE T", "(A NUMBER)", "TABLESPACE users;"},
         " CREATE TABLE T (A NUMBER) TABLESPACE users"},
        {"comment test looks at the first two characters only",
         {"  /* not a comment", "X /* y", "/*", "still read */"},
         "   /* not a comment X /* y still read */"},
        {"empty lines count", {"", "A", ""}, "  A "},
        {"every ; outside quotes goes", {"A;;B;", ";"}, " AB "},
        {"; inside a literal stays",
         {"INSERT INTO T VALUES ('a;b');"},
         " INSERT INTO T VALUES ('a;b')"},
        {"doubled quote inside a literal", {"VALUES ('it''s;', 'x');"}, " VALUES ('it''s;', 'x')"},
        {"literal over two lines", {"VALUES ('a;", "b;');"}, " VALUES ('a; b;')"},
        {"skipped lines do not touch the quote state", {"X 'a", "/* it's", "b;' ;"}, " X 'a b;' "},
        {"only comments", {"/* a */", "/*"}, ""},
        {"no lines", {}, ""},
    };
    for (const auto& [name, lines, expected] : cases)
        EXPECT_EQ(foldScript(lines), expected) << name;
}

TEST(SplitLines, EveryLineEndIsRecognised) {
    const std::tuple<std::string, std::vector<std::string>> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},     {"a\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}}, {"\n", {""}},         {"", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(splitLines(text), expected) << text;
}

TEST(FoldScriptFile, ReadsCp932AndUtf8Files) {
    TempDir dir;
    const std::string sjis = dir.path() + "/sjis.sql";
    const std::string utf8 = dir.path() + "/utf8.sql";
    const std::string script =
        "/* 社員マスタ */\r\nCREATE TABLE 社員\r\n(氏名 VARCHAR2(20) DEFAULT '未定;')\r\n;\r\n";
    base::writeFileAtomically(sjis, encoding::Cp932::fromUtf8(script));
    base::writeFileAtomically(utf8, script);
    const std::string expected = " CREATE TABLE 社員 (氏名 VARCHAR2(20) DEFAULT '未定;') ";
    EXPECT_EQ(foldScriptFile(sjis), expected);
    EXPECT_EQ(foldScriptFile(utf8), expected);
    EXPECT_THROW(foldScriptFile(dir.path() + "/missing.sql"), base::FileError);
}

}  // namespace
}  // namespace malvorn::base
