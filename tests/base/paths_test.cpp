#include "base/paths.h"

#include <gtest/gtest.h>

namespace malvorn::base {
namespace {

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

}  // namespace
}  // namespace malvorn::base
