#include "shell/paths.h"

#include <gtest/gtest.h>

namespace malvorn::shell {
namespace {

TEST(PathHelpers, SampleTable) {
    const struct {
        std::string (*helper)(std::string_view);
        const char* path;
        const char* expected;
    } cases[] = {{gfAddBackslash, "/data", "/data/"},
                 {gfAddBackslash, "/", "/"},
                 {gfAddBackslash, "", "/"},
                 {gfCutBackslash, "/data/", "/data"},
                 {gfCutBackslash, "//", "/"},
                 {gfCutBackslash, "", ""},
                 {gfFolderPart, "/data/a.mdb", "/data"},
                 {gfFolderPart, "a.mdb", ""},
                 {gfFolderPart, "/a.mdb", ""},
                 {gfFilePart, "a.mdb", ""},
                 {gfFilePart, "/data/", ""},
                 {gfFilePart, "/データ/受注.mdb", "受注.mdb"}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(cases[i].helper(cases[i].path), cases[i].expected) << "case " << i;
}

}  // namespace
}  // namespace malvorn::shell
