#include "shell/paths.h"

#include <gtest/gtest.h>

namespace malvorn::shell {
namespace {

struct PathCase {
    std::string (*helper)(std::string_view);
    const char* name;
    const char* path;
    const char* expected;
};

TEST(PathHelpers, SampleTable) {
    const PathCase cases[] = {
        {gfAddBackslash, "add", "/data", "/data/"},
        {gfAddBackslash, "add", "/", "/"},
        {gfAddBackslash, "add", "", "/"},
        {gfCutBackslash, "cut", "/data/", "/data"},
        {gfCutBackslash, "cut", "//", "/"},
        {gfCutBackslash, "cut", "", ""},
        {gfFolderPart, "folder", "/data/a.mdb", "/data"},
        {gfFolderPart, "folder", "a.mdb", ""},
        {gfFolderPart, "folder", "/a.mdb", ""},
        {gfFilePart, "file", "a.mdb", ""},
        {gfFilePart, "file", "/data/", ""},
        {gfFilePart, "file", "/データ/受注.mdb", "受注.mdb"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.helper(c.path), c.expected) << c.name << "(" << c.path << ")";
    }
}

}  // namespace
}  // namespace malvorn::shell
