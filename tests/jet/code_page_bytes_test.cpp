// Jet 3 text bytes that the file's code page has no character for: read as
// Windows reads them where it gives them one (the C1 controls 0x80 to 0x9F of
// the one-byte pages), otherwise refused with the row and column, never
// carried as the '?' the Jet library puts in their place.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>

#include "jet_built_bytes.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using namespace std::string_literals;
using ::testing::HasSubstr;
using testing::JetBuildTable;
using testing::JetVersion;

class CodePageBytes : public ::testing::TestWithParam<Way> {
  protected:
    TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Ways, CodePageBytes, bothWays(), wayName);

TEST_P(CodePageBytes, UndefinedBytesAreCarriedAsWindowsReadsThemOrRefused) {
    struct Case {
        const char* name;
        int codePage;
        std::string stored;               // in place of "QZ" in the second row's "aQZ"
        std::optional<std::string> utf8;  // what is read; nullopt: refused
        std::string refusal;              // the end of the refusal's message
    };
    const Case cases[] = {
        {"CP1252 0x81, a C1 control", 1252, "\x81Z", "a\xC2\x81Z", ""},
        {"CP1252 0x9D and 0x8F", 1252, "\x9D\x8F", "a\xC2\x9D\xC2\x8F", ""},
        {"CP1252 0x80 is the euro sign", 1252, "\x80Z", "a\xE2\x82\xACZ", ""},
        {"CP1253 0xAA, undefined outside the C1 range", 1253, "\xAAZ", std::nullopt,
         "文字コード CP1253 に文字のないバイト 0xAA を含む文字列"},
        {"CP932, two bytes of one character", 932, "\x82\xA0", "a\xE3\x81\x82", ""},
        {"CP932, a question mark of the text's own", 932, "?Z", "a?Z", ""},
        {"CP932, a lead byte before a space", 932, "\x82 ", std::nullopt,
         "文字コード CP932 で読めないバイトを含む文字列"},
        {"CP932 0xA0", 932, "\xA0Z", std::nullopt, "文字コード CP932 で読めないバイトを含む文字列"},
        {"CP932, a question mark, then a lead byte cut off by the end", 932, "?\x82", std::nullopt,
         "文字コード CP932 で読めないバイトを含む文字列"},
    };
    const std::string path = dir_.path() + "/bytes.mdb";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JetBuildTable table{"T", {{.name = "Note"}}, {}, {{"ok"s}, {"aQZ"s}}};
        const auto built = testing::buildJetFile({table}, JetVersion::kJet3, c.codePage);
        std::string bytes(built.begin(), built.end());
        const std::size_t at = bytes.find("aQZ");
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at + 1, 2, c.stored);
        writeWholeFile(path, bytes);
        try {
            const std::vector<JetRow> rows = allRows(*GetParam().open(path), "T");
            ASSERT_TRUE(c.utf8.has_value()) << "read as " << ::testing::PrintToString(rows);
            ASSERT_EQ(rows.size(), 2u);
            EXPECT_EQ(rows[1][0], JetValue(*c.utf8));
        } catch (const JetError& e) {
            ASSERT_FALSE(c.utf8.has_value()) << e.what();
            EXPECT_EQ(e.kind(), JetErrorKind::kDamaged);
            EXPECT_THAT(e.what(), HasSubstr("テーブル T の行 2、列 Note、" + c.refusal));
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
