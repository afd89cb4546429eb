// The test Jet builder on its own: the bytes it stores, what it refuses, and
// mdbtools' command-line tools reading its files (the program's reader: tests/jet).
#include "jet_builder/jet_builder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/command.h"
#include "support/temp_dir.h"

namespace malvorn::testing {
namespace {

using Value = JetBuildValue;

JetBuildTable table(std::vector<JetBuildField> fields, std::vector<std::vector<Value>> rows = {}) {
    return {"T", std::move(fields), {}, std::move(rows)};
}

std::string repeat(const std::string& unit, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += unit;
    return out;
}

// Values whose stored form a reader could hide (compression, byte order,
// code page) are found byte for byte in the file, as the engine writes them.
TEST(JetBuilderBytes, ValuesAreStoredInTheEnginesOwnForms) {
    const JetBuildField text{.name = "S", .size = 100};
    const JetBuildField plain{.name = "S", .unicodeCompression = false};
    const JetBuildField decimal{.name = "N", .type = 20, .precision = 28, .scale = 4};
    const JetBuildField whole{.name = "N", .type = 20, .precision = 28};
    const std::string ff("\xFF\xFE");
    const std::string ringo("\x8A\x30\x93\x30\x54\x30", 6);  // りんご in UCS-2
    const std::string ole("\0\1\xFFzzy", 6);
    const std::string guid("\x40\xFC\x29\x6B\x47\xCA\x67\x10\xB3\x1D\x00\xDD\x01\x06\x62\xDA", 16);
    const std::string z12(12, '\0');
    const struct {
        const char* label;
        JetBuildField field;
        Value value;
        std::string stored;  // must be in the file
        std::string absent;  // must not be, when not empty
        JetVersion version = JetVersion::kJet4;
        int codePage = 932;
    } cases[] = {
        // Jet 4 text is UCS-2, compressed behind FF FE when that makes it shorter.
        {"compressed", text, "ABCDEFGHりんご", ff + "ABCDEFGH", ""},
        {"compressionOff", plain, "QRSTU", std::string("Q\0R\0S\0T\0U\0", 10), ff + "QRSTU"},
        {"notShorter", text, "りんご", ringo, ff + ringo},
        {"guid", {.name = "G", .type = 15}, "{6B29FC40-CA47-1067-B31D-00DD010662DA}", guid, ""},
        {"ole", {.name = "O", .type = 11}, ole, ole, ""},
        // Decimal: sign byte, then four little-endian 32-bit words, low word first.
        {"decimal", decimal, "123.45", z12 + z12.substr(0, 1) + "\x44\xD6\x12" + z12[0], ""},
        {"negativeDecimal", decimal, "-0.5", "\x80" + z12 + "\x88\x13" + z12.substr(0, 2), ""},
        {"widestDecimal", whole, std::string(28, '9'),
         std::string("\0\0\0\0\0\x5E\xCE\x4F\x20\x61\x02\x25\x3E\xFF\xFF\xFF\x0F", 17), ""},
        // Jet 3 text is in the code page the header names.
        {"jet3cp932", text, "ﾊﾝｶｸと全角", "\xCA\xDD\xB6\xB8\x82\xC6\x91\x53\x8A\x70", "",
         JetVersion::kJet3},
        {"jet3cp1252", text, "Café €5", "Caf\xE9 \x80\x35", "", JetVersion::kJet3, 1252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto bytes = buildJetFile({table({c.field}, {{c.value}})}, c.version, c.codePage);
        const std::string file(bytes.begin(), bytes.end());
        EXPECT_NE(file.find(c.stored), std::string::npos);
        EXPECT_TRUE(c.absent.empty() || file.find(c.absent) == std::string::npos);
    }
}

TEST(JetBuilderErrors, BadDescriptionsAreRefusedWithAReason) {
    const JetBuildField text3{.name = "A", .type = 10, .size = 3};
    const JetBuildField lng{.name = "A", .type = 4};
    JetBuildTable wide = table({}, {{}});
    for (int i = 0; i < 9; ++i) {
        wide.fields.push_back({.name = "F" + std::to_string(i), .type = 10, .size = 255});
        wide.rows[0].push_back(Value{repeat("字", 255)});
    }
    const struct {
        JetBuildTable table;
        const char* reason;
        JetVersion version = JetVersion::kJet4;
        int codePage = 932;
    } cases[] = {
        {table({lng}, {{"1"}}), "expected an integer"},
        {table({{.name = "A", .type = 2}}, {{std::int64_t{256}}}), "out of range"},
        {table({lng}, {{std::int64_t{1} << 31}}), "out of range"},
        {table({lng, {.name = "B", .type = 4}}, {{std::int64_t{1}}}), "has 1 values for 2 fields"},
        {table({{.name = "A", .type = 9}}), "unsupported type"},
        {table({lng, {.name = "A", .type = 3}}), "two fields named A"},
        {{"T", {lng}, {{.name = "ix", .columns = {"Z"}}}, {}}, "unknown field Z"},
        {{"T", {lng}, {{.name = "rel", .columns = {"A"}, .relationship = true}}, {}},
         "needs an index on the same fields"},
        {table({text3}, {{"abcd"}}), "longer than the field's 3 characters"},
        {table({{.name = "A", .size = 255}}, {{repeat("字", 128)}}), "longer than 255 bytes",
         JetVersion::kJet3},
        {wide, "more than a page holds"},
        {table({text3}, {{"\xF0\x9F\x98\x80"}}), "Basic Multilingual Plane"},
        {table({text3}, {{"ÿ"}}), "code page 932", JetVersion::kJet3},
        {table({lng}), "not supported", JetVersion::kJet3, 1251},
        {table({{.name = "A", .type = 15}}, {{"{123}"}}), "not a GUID"},
        {table({{.name = "A", .type = 20, .precision = 4, .scale = 2}}, {{"100.5"}}),
         "does not fit precision 4"},
        {table({{.name = "A", .type = 20, .precision = 9, .scale = 2}}, {{"1.005"}}),
         "more decimals than the scale 2"},
        {table({{.name = "A", .type = 20}}), "Jet 4 files only", JetVersion::kJet3},
        {table({{.name = "A", .type = 4, .deletedBefore = -1}}), "negative count of deleted"},
        {table({{.name = "A", .type = 4, .deletedBefore = 255}}), "past 255"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        EXPECT_THAT(
            [&] { writeJetFile(dir.path() + "/bad.mdb", {c.table}, c.version, c.codePage); },
            ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr(c.reason)));
    }
    EXPECT_THROW(writeJetFile(dir.path() + "/no/such/folder/x.mdb", {}), std::runtime_error);
}

// mdbtools' own command-line tools read both versions: the catalog in the
// given order, every type's value, the properties and the index shapes.
TEST(JetBuilderWithMdbTools, TablesExportAndPropertiesMatch) {
    if (!std::filesystem::exists("/usr/bin/mdb-export"))
        GTEST_SKIP() << "mdbtools' command-line tools are not installed";
    const JetBuildTable t{
        "SHOHIN",
        {{.name = "CODE", .type = 10, .size = 10},
         {.name = "NAME", .type = 10, .size = 50, .allowZeroLength = true},
         {.name = "QTY", .type = 4, .defaultValue = "0", .required = true},
         {.name = "OK", .type = 1},
         {.name = "B", .type = 2},
         {.name = "I", .type = 3},
         {.name = "PRICE", .type = 5},
         {.name = "R", .type = 6},
         {.name = "D", .type = 7},
         {.name = "UPD", .type = 8},
         {.name = "MEMO", .type = 12}},
        {{.name = "pkkey", .columns = {"CODE"}, .primary = true},
         {.name = "byName", .columns = {"NAME", "QTY"}, .unique = true},
         {.name = "byUpd", .columns = {"UPD"}}},
        {{"A1", "りんご", std::int64_t{3}, true, std::int64_t{255}, std::int64_t{-32768},
          std::int64_t{123400}, 0.5, -1.25, 36925.4375, repeat("長文", 3000)},
         {"B'2", "\"x\"", Value{}, false, Value{}, Value{}, Value{}, Value{}, Value{}, Value{},
          ""}}};
    const JetBuildTable empty{"空", {{.name = "X", .type = 7}}, {}, {}};
    const std::string firstRow =
        "\"A1\",\"りんご\",3,1,255,-32768,12.3400,0.5,-1.25,\"02/03/01 10:30:00\",\"" +
        repeat("長文", 3000) + "\"\n";
    TempDir dir;
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        SCOPED_TRACE(version == JetVersion::kJet4 ? "Jet 4" : "Jet 3");
        const std::string path = dir.path() + "/s.mdb";
        writeJetFile(path, {t, empty}, version, 932);
        const std::string tool = "MDB_JET3_CHARSET=CP932 mdb-";
        EXPECT_EQ(runCommand(tool + "tables -1 " + path).out, "SHOHIN\n空\n");
        const CommandRun exported = runCommand(tool + "export " + path + " SHOHIN");
        EXPECT_EQ(exported.out, "CODE,NAME,QTY,OK,B,I,PRICE,R,D,UPD,MEMO\n" + firstRow +
                                    "\"B'2\",\"\"\"x\"\"\",,0,,,,,,,\n")
            << exported.err;
        EXPECT_EQ(runCommand(tool + "export " + path + " 空").out, "X\n");
        const std::string props = runCommand(tool + "prop " + path + " SHOHIN").out;
        for (const char* property : {"name: NAME\n\tAllowZeroLength: yes", "DefaultValue: 0",
                                     "name: QTY\n\tDefaultValue: 0\n\tRequired: yes"})
            EXPECT_NE(props.find(property), std::string::npos) << property << "\n" << props;
        const std::string schema = runCommand(tool + "schema " + path + " postgres").out;
        for (const char* clause : {"PRIMARY KEY (\"code\")",
                                   "CREATE UNIQUE INDEX \"shohin_byname_idx\" "
                                   "ON \"shohin\" (\"name\", \"qty\")",
                                   "CREATE INDEX \"shohin_byupd_idx\" ON \"shohin\" (\"upd\")"})
            EXPECT_NE(schema.find(clause), std::string::npos) << clause << "\n" << schema;
    }
}

}  // namespace
}  // namespace malvorn::testing
