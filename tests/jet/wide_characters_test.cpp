// Characters past U+FFFF, which Jet 4 and ACE store as surrogate pairs: read
// back as written (kanji of JIS X 0213 in names, emoji in notes), and a half
// pair on its own refused with its row and column rather than carried as '?'.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "jet_built_bytes.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using namespace std::string_literals;
using ::testing::HasSubstr;
using testing::JetBuildTable;
using testing::JetVersion;

class WideCharacters : public ::testing::TestWithParam<Way> {
  protected:
    TempDir dir_;
};

INSTANTIATE_TEST_SUITE_P(Ways, WideCharacters, bothWays(), wayName);

const std::string kWide[] = {
    "\xF0\xA0\xAE\xB7\xE9\x87\x8E\xE5\xAE\xB6",   // 𠮷野家: a pair, then two of the plane
    "abc\xF0\x9F\x98\x80",                        // ASCII, then 😀 (whose 00 byte keeps it plain)
    "abcdefgh\xF0\xA0\xAE\xB7",                   // compressed: the pair in a run of two bytes
    "\xF0\xA9\xB8\xBD",                           // 𩸽 alone
    "\xF4\x8F\xBF\xBF",                           // U+10FFFF, the last there is
    "\xF0\x90\x80\x80" + std::string(3000, 'm'),  // U+10000 leading a memo on pages of its own
};

TEST_P(WideCharacters, PairsComeBackAsTheCharactersWritten) {
    JetBuildTable table{
        "Wide", {{.name = "Name", .size = 20}, {.name = "Note", .type = 12}}, {}, {}};
    for (const std::string& text : kWide)
        table.rows.push_back({text.size() < 40 ? text : std::string("x"), text});
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kAce12}) {
        const std::string path = dir_.path() + "/wide.mdb";
        testing::writeJetFile(path, {table}, version);
        const std::vector<JetRow> rows = allRows(*GetParam().open(path), "Wide");
        ASSERT_EQ(rows.size(), std::size(kWide));
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(rows[i][1], JetValue(kWide[i])) << "row " << i;
            if (kWide[i].size() < 40) {
                EXPECT_EQ(rows[i][0], JetValue(kWide[i])) << "row " << i;
            }
        }
    }
}

TEST_P(WideCharacters, AHalfPairAloneIsRefusedWithItsRowAndColumn) {
    struct Case {
        const char* name;
        std::string pairBytes;  // where the built file holds the pair
        std::string halfBytes;  // what it holds instead
    };
    // 😀 is D83D DE00, stored little-endian.
    const Case cases[] = {
        {"a high half followed by a letter", "\x3D\xD8\x00\xDE"s, "\x3D\xD8x\0"s},
        {"a low half first", "\x3D\xD8\x00\xDE"s, "\x00\xDE\x3D\xD8"s},
    };
    const std::string path = dir_.path() + "/half.mdb";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JetBuildTable table{
            "Half", {{.name = "Note", .unicodeCompression = false}}, {}, {{std::string("ok")}}};
        table.rows.push_back({std::string("ab\xF0\x9F\x98\x80")});
        std::string bytes = builtBytes({table});
        const std::size_t at = bytes.find(c.pairBytes);
        ASSERT_NE(at, std::string::npos);
        bytes.replace(at, c.halfBytes.size(), c.halfBytes);
        writeWholeFile(path, bytes);
        try {
            allRows(*GetParam().open(path), "Half");
            ADD_FAILURE() << "the half pair was read as text";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kDamaged);
            EXPECT_THAT(e.what(),
                        HasSubstr("テーブル Half の行 2、列 Note、対になっていないサロゲート"));
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
