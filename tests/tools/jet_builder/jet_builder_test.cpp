#include "jet_builder/jet_builder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/jet_builder/mdb_reader.h"
#include "support/temp_dir.h"

namespace malvorn::testing {
namespace {

using Value = JetBuildValue;

const Value kNull{};

Value text(const char* s) {
    return Value{std::string(s)};
}
Value integer(std::int64_t v) {
    return Value{v};
}

std::string repeat(const std::string& unit, std::size_t times) {
    std::string out;
    out.reserve(unit.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out += unit;
    return out;
}

template <typename T>
T rawAs(const std::string& raw) {
    T value{};
    EXPECT_EQ(raw.size(), sizeof(T));
    if (raw.size() == sizeof(T))
        std::memcpy(&value, raw.data(), sizeof(T));
    return value;
}

struct VersionCase {
    const char* label;
    JetVersion version;
    int codePage;
    const char* charset;  // what a reader must tell libmdb for Jet 3 text
};

const VersionCase kVersions[] = {
    {"Jet4", JetVersion::kJet4, 932, nullptr},
    {"Jet3cp932", JetVersion::kJet3, 932, "CP932"},
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.label;
}

class JetBuilderTest : public ::testing::TestWithParam<VersionCase> {
  protected:
    std::string write(const std::vector<JetBuildTable>& tables) {
        const std::string path = dir_.path() + "/t" + std::to_string(++files_) + ".mdb";
        writeJetFile(path, tables, GetParam().version, GetParam().codePage);
        return path;
    }
    MdbDatabase open(const std::string& path) { return MdbDatabase(path, GetParam().charset); }
    bool jet4() const { return GetParam().version == JetVersion::kJet4; }

    TempDir dir_;
    int files_ = 0;
};

JetBuildTable everyType() {
    JetBuildTable t;
    t.name = "全型";
    t.fields = {{.name = "YN", .type = 1},
                {.name = "BYTE値", .type = 2},
                {.name = "INT", .type = 3},
                {.name = "LNG", .type = 4},
                {.name = "CUR", .type = 5},
                {.name = "SGL", .type = 6},
                {.name = "DBL", .type = 7},
                {.name = "DT", .type = 8},
                {.name = "T1", .type = 10, .size = 1},
                {.name = "名称", .type = 10, .size = 255},
                {.name = "OLE", .type = 11},
                {.name = "MEMO", .type = 12},
                {.name = "GID", .type = 15}};
    return t;
}

TEST_P(JetBuilderTest, CatalogListsTheCatalogThenTheTablesInTheGivenOrder) {
    std::vector<JetBuildTable> tables;
    for (const char* name : {"Zeta", "商品マスタ", "alpha", "ＦＵＬＬ幅"}) {
        JetBuildTable t;
        t.name = name;
        t.fields = {{.name = "ID", .type = 4}};
        tables.push_back(t);
    }
    MdbDatabase file = open(write(tables));
    EXPECT_EQ(file.jet4(), jet4());
    std::vector<std::string> names;
    for (const MdbCatalogInfo& entry : file.catalog()) {
        EXPECT_EQ(entry.type, MDB_TABLE) << entry.name;
        EXPECT_EQ(entry.system, entry.name == "MSysObjects") << entry.name;
        names.push_back(entry.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"MSysObjects", "Zeta", "商品マスタ", "alpha",
                                               "ＦＵＬＬ幅"}));
}

TEST_P(JetBuilderTest, ColumnsComeBackWithTheirTypesAndSizes) {
    MdbDatabase file = open(write({everyType()}));
    const auto columns = file.table("全型")->columns();
    struct Expected {
        const char* name;
        int type;
        int jet4Size;
        int jet3Size;
    };
    const Expected expected[] = {
        {"YN", MDB_BOOL, 0, 0},       {"BYTE値", MDB_BYTE, 1, 1}, {"INT", MDB_INT, 2, 2},
        {"LNG", MDB_LONGINT, 4, 4},   {"CUR", MDB_MONEY, 8, 8},   {"SGL", MDB_FLOAT, 4, 4},
        {"DBL", MDB_DOUBLE, 8, 8},    {"DT", MDB_DATETIME, 8, 8}, {"T1", MDB_TEXT, 2, 1},
        {"名称", MDB_TEXT, 510, 255}, {"OLE", MDB_OLE, 0, 0},     {"MEMO", MDB_MEMO, 0, 0},
        {"GID", MDB_REPID, 16, 16}};
    ASSERT_EQ(columns.size(), std::size(expected));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(columns[i].name, expected[i].name);
        EXPECT_EQ(columns[i].type, expected[i].type);
        EXPECT_EQ(columns[i].size, jet4() ? expected[i].jet4Size : expected[i].jet3Size);
    }
}

TEST_P(JetBuilderTest, ColumnPropertiesComeBack) {
    JetBuildTable t;
    t.name = "PROPS";
    t.fields = {{.name = "CODE", .type = 10, .size = 10, .allowZeroLength = false},
                {.name = "NAME", .type = 10, .size = 50, .allowZeroLength = true},
                {.name = "PRICE", .type = 5, .defaultValue = "0"},
                {.name = "FLAG", .type = 1, .defaultValue = "=No"},
                {.name = "UPD", .type = 8, .defaultValue = "Date()", .required = true},
                {.name = "NOTE", .type = 12, .allowZeroLength = true, .defaultValue = "未入力"},
                {.name = "QTY", .type = 4}};
    MdbDatabase file = open(write({t}));
    const auto columns = file.table("PROPS")->columns();
    using Opt = std::optional<std::string>;
    struct Expected {
        const char* name;
        Opt allowZeroLength;
        Opt defaultValue;
        Opt required;
    };
    const Expected expected[] = {
        {"CODE", "no", std::nullopt, "no"},       {"NAME", "yes", std::nullopt, "no"},
        {"PRICE", std::nullopt, "0", "no"},       {"FLAG", std::nullopt, "=No", "no"},
        {"UPD", std::nullopt, "Date()", "yes"},   {"NOTE", "yes", "未入力", "no"},
        {"QTY", std::nullopt, std::nullopt, "no"}};
    ASSERT_EQ(columns.size(), std::size(expected));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(columns[i].allowZeroLength, expected[i].allowZeroLength);
        EXPECT_EQ(columns[i].defaultValue, expected[i].defaultValue);
        EXPECT_EQ(columns[i].required, expected[i].required);
    }
}

TEST_P(JetBuilderTest, IndexesComeBackInTheGivenOrderWithTheirKeys) {
    struct Expected {
        const char* name;
        int type;  // 1 primary, 2 a relationship's entry
        bool unique;
        std::vector<std::string> columns;
    };
    struct Case {
        const char* label;
        std::vector<JetBuildIndex> indexes;
        std::vector<Expected> expected;
    };
    const Case cases[] = {
        {"severalShapes",
         {{.name = "zKey", .columns = {"C", "A"}},
          {.name = "PrimaryKey", .columns = {"B"}, .primary = true},
          {.name = "一意", .columns = {"D", "C", "B"}, .unique = true},
          {.name = "relOther", .columns = {"B"}, .relationship = true},
          {.name = "noKeys", .columns = {}}},
         {{"zKey", 0, false, {"C", "A"}},
          {"PrimaryKey", 1, true, {"B"}},
          {"一意", 0, true, {"D", "C", "B"}},
          {"relOther", 2, false, {}},
          {"noKeys", 0, false, {}}}},
        {"primaryWithoutKeysFirst",
         {{.name = "PrimaryKey", .columns = {}, .primary = true}, {.name = "a", .columns = {"A"}}},
         {{"PrimaryKey", 1, true, {}}, {"a", 0, false, {"A"}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        JetBuildTable t;
        t.name = "IDX";
        t.fields = {{.name = "A", .type = 4},
                    {.name = "B", .type = 10},
                    {.name = "C", .type = 8},
                    {.name = "D", .type = 3}};
        t.indexes = c.indexes;
        t.rows = {{integer(1), text("x"), Value{45000.0}, integer(2)}};
        MdbDatabase file = open(write({t}));
        auto table = file.table("IDX");
        const auto indexes = table->indexes();
        ASSERT_EQ(indexes.size(), c.expected.size());
        for (std::size_t i = 0; i < indexes.size(); ++i) {
            SCOPED_TRACE(c.expected[i].name);
            EXPECT_EQ(indexes[i].name, c.expected[i].name);
            EXPECT_EQ(indexes[i].type, c.expected[i].type);
            EXPECT_EQ((indexes[i].flags & MDB_IDX_UNIQUE) != 0, c.expected[i].unique);
            EXPECT_EQ(indexes[i].columns, c.expected[i].columns);
        }
        EXPECT_EQ(table->rows().size(), 1u);  // the columns still read after the indexes
    }
}

// Each case writes one value into its own column of a one-row table and checks
// what libmdb finds in the row.
struct ValueCase {
    const char* label;
    JetBuildField field;
    Value value;
    std::function<void(const MdbCell&)> check;
};

std::vector<ValueCase> valueCases(bool jet4) {
    // Jet 3 keeps at most 255 bytes of text, 127 double-byte characters.
    const std::string longest = repeat("字", jet4 ? 255 : 127);
    auto textIs = [](std::string expected) {
        return [expected](const MdbCell& c) {
            EXPECT_FALSE(c.null);
            EXPECT_EQ(c.text, expected);
        };
    };
    auto doubleIs = [](double expected) {
        return [expected](const MdbCell& c) {
            EXPECT_FALSE(c.null);
            EXPECT_EQ(rawAs<double>(c.raw), expected);
        };
    };
    auto boolIs = [](bool expected) {
        return [expected](const MdbCell& c) {
            EXPECT_EQ(c.null, !expected);
            EXPECT_EQ(c.text, expected ? "1" : "0");
        };
    };
    auto isNull = [](const MdbCell& c) {
        EXPECT_TRUE(c.null);
        EXPECT_EQ(c.text, "");
    };
    return {
        // A Yes/No value is the null-mask bit itself: No reads as a clear bit.
        {"yes", {.name = "F", .type = 1}, Value{true}, boolIs(true)},
        {"no", {.name = "F", .type = 1}, Value{false}, boolIs(false)},
        {"noFromNull", {.name = "F", .type = 1}, kNull, boolIs(false)},
        {"byteMax", {.name = "F", .type = 2}, integer(255), textIs("255")},
        {"byteNull", {.name = "F", .type = 2}, kNull, isNull},
        {"intMin", {.name = "F", .type = 3}, integer(-32768), textIs("-32768")},
        {"longMax", {.name = "F", .type = 4}, integer(2147483647), textIs("2147483647")},
        {"longMin", {.name = "F", .type = 4}, integer(-2147483648LL), textIs("-2147483648")},
        {"longNull", {.name = "F", .type = 4}, kNull, isNull},
        {"currency",
         {.name = "F", .type = 5},
         integer(-9223372036854775807LL),
         [](const MdbCell& c) { EXPECT_EQ(rawAs<std::int64_t>(c.raw), -9223372036854775807LL); }},
        {"currencySmall",
         {.name = "F", .type = 5},
         integer(123400),
         [](const MdbCell& c) { EXPECT_EQ(rawAs<std::int64_t>(c.raw), 123400); }},
        {"single",
         {.name = "F", .type = 6},
         Value{0.1},
         [](const MdbCell& c) { EXPECT_EQ(rawAs<float>(c.raw), 0.1f); }},
        {"double", {.name = "F", .type = 7}, Value{-1.0 / 3.0}, doubleIs(-1.0 / 3.0)},
        {"dateBefore1900", {.name = "F", .type = 8}, Value{-36522.75}, doubleIs(-36522.75)},
        {"dateTime",
         {.name = "F", .type = 8},
         Value{45292.999988425923},
         doubleIs(45292.999988425923)},
        {"dateNull", {.name = "F", .type = 8}, kNull, isNull},
        {"textQuotes",
         {.name = "F", .type = 10, .size = 20},
         text("it's \"q\""),
         textIs("it's \"q\"")},
        {"textJapanese",
         {.name = "F", .type = 10, .size = 20},
         text("ｶﾅ漢字ひらがな"),
         textIs("ｶﾅ漢字ひらがな")},
        {"textFull255", {.name = "F", .type = 10, .size = 255}, Value{longest}, textIs(longest)},
        {"textNull", {.name = "F", .type = 10}, kNull, isNull},
        {"textEmpty",
         {.name = "F", .type = 10, .allowZeroLength = true},
         text(""),
         [](const MdbCell& c) {
             EXPECT_FALSE(c.null);  // a zero-length string is not Null
             EXPECT_EQ(c.text, "");
         }},
        {"memoShort", {.name = "F", .type = 12}, text("改行\r\nあり"), textIs("改行\r\nあり")},
        {"memoNull", {.name = "F", .type = 12}, kNull, isNull},
        {"guid",
         {.name = "F", .type = 15},
         text("{6B29FC40-CA47-1067-B31D-00DD010662DA}"),
         [](const MdbCell& c) {
             const std::string expected(
                 "\x40\xFC\x29\x6B\x47\xCA\x67\x10\xB3\x1D\x00\xDD\x01\x06\x62\xDA", 16);
             EXPECT_EQ(c.raw, expected);
             EXPECT_EQ(c.text, "{6B29FC40-CA47-1067-B31D00DD010662DA}");
         }},
        {"ole",
         {.name = "F", .type = 11},
         Value{std::string("\x00\x01\xFF\x00zz", 6)},
         [](const MdbCell& c) { EXPECT_EQ(c.raw, std::string("\x00\x01\xFF\x00zz", 6)); }},
    };
}

TEST_P(JetBuilderTest, EveryValueComesBackAsWritten) {
    for (const ValueCase& vc : valueCases(jet4())) {
        SCOPED_TRACE(vc.label);
        JetBuildTable t;
        t.name = "V";
        // A second column around the value checks that neighbours stay in place.
        t.fields = {{.name = "BEFORE", .type = 4}, vc.field, {.name = "AFTER", .type = 10}};
        t.rows = {{integer(7), vc.value, text("end")}};
        MdbDatabase file = open(write({t}));
        const auto rows = file.table("V")->rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].text, "7");
        vc.check(rows[0][1]);
        EXPECT_EQ(rows[0][2].text, "end");
    }
}

TEST_P(JetBuilderTest, MemoAndOleValuesOfAnyLengthComeBackWhole) {
    const std::string binary = [] {
        std::string b;
        for (int i = 0; i < 20000; ++i)
            b.push_back(static_cast<char>((i * 7) % 256));
        return b;
    }();
    struct Case {
        const char* label;
        std::string memo;
        std::string ole;
    };
    const Case cases[] = {
        {"empty", "", std::string(1, '\0')},
        {"inline", "short メモ", "tiny"},
        {"onePage", repeat("あ", 1000), binary.substr(0, 3000)},
        {"chained", repeat("長文", 3000), binary},
        {"hundredKB", repeat("0123456789", 10240), binary + binary + binary},
        {"hundredKBJapanese", repeat("日本語のメモ", 17067), binary.substr(5)},
    };
    JetBuildTable t;
    t.name = "LONG";
    t.fields = {{.name = "N", .type = 4},
                {.name = "M", .type = 12, .allowZeroLength = true},
                {.name = "O", .type = 11}};
    for (std::size_t i = 0; i < std::size(cases); ++i)
        t.rows.push_back(
            {integer(static_cast<std::int64_t>(i)), Value{cases[i].memo}, Value{cases[i].ole}});
    MdbDatabase file = open(write({t}));
    const auto rows = file.table("LONG")->rows(400000);
    ASSERT_EQ(rows.size(), std::size(cases));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        EXPECT_EQ(rows[i][1].text, cases[i].memo);
        EXPECT_EQ(rows[i][2].raw, cases[i].ole);
    }
}

TEST_P(JetBuilderTest, TenThousandRowsSpreadOverManyPagesComeBackInOrder) {
    JetBuildTable t;
    t.name = "MANY";
    t.fields = {{.name = "ID", .type = 4},
                {.name = "NAME", .type = 10, .size = 40},
                {.name = "AMOUNT", .type = 5}};
    for (std::int64_t i = 0; i < 10000; ++i)
        t.rows.push_back({integer(i), Value{"行" + std::to_string(i)},
                          i % 10 == 0 ? kNull : integer(i * 10000)});
    MdbDatabase file = open(write({t}));
    auto table = file.table("MANY");
    EXPECT_EQ(table->rowCountInDefinition(), 10000u);
    const auto rows = table->rows();
    ASSERT_EQ(rows.size(), 10000u);
    for (std::int64_t i = 0; i < 10000; ++i) {
        const auto& row = rows[static_cast<std::size_t>(i)];
        ASSERT_EQ(row[0].text, std::to_string(i));
        ASSERT_EQ(row[1].text, "行" + std::to_string(i));
        ASSERT_EQ(row[2].null, i % 10 == 0);
        if (i % 10 != 0) {
            ASSERT_EQ(rawAs<std::int64_t>(row[2].raw), i * 10000);
        }
    }
}

TEST_P(JetBuilderTest, ManyColumnsMakeATableDefinitionSpanPages) {
    JetBuildTable t;
    t.name = "WIDE";
    std::vector<Value> row;
    for (int i = 0; i < 120; ++i) {
        t.fields.push_back({.name = "列名" + std::to_string(i) + std::string(40, 'x'),
                            .type = i % 2 == 0 ? 10 : 4,
                            .size = 5,
                            .defaultValue = "=" + std::to_string(i)});
        row.push_back(i % 2 == 0 ? Value{std::to_string(i)} : integer(i));
    }
    t.indexes = {{.name = "ix", .columns = {t.fields[3].name, t.fields[0].name}}};
    t.rows = {row};
    MdbDatabase file = open(write({t}));
    auto table = file.table("WIDE");
    const auto columns = table->columns();
    ASSERT_EQ(columns.size(), 120u);
    EXPECT_EQ(columns[119].name, t.fields[119].name);
    EXPECT_EQ(columns[77].defaultValue, std::optional<std::string>("=77"));
    EXPECT_EQ(table->indexes().at(0).columns,
              (std::vector<std::string>{t.fields[3].name, t.fields[0].name}));
    const auto rows = table->rows();
    ASSERT_EQ(rows.size(), 1u);
    for (std::size_t i = 0; i < 120; ++i)
        EXPECT_EQ(rows[0][i].text, std::to_string(i)) << t.fields[i].name;
}

INSTANTIATE_TEST_SUITE_P(Versions, JetBuilderTest, ::testing::ValuesIn(kVersions),
                         [](const auto& param) { return std::string(param.param.label); });

// Jet 4 stores text as UCS-2, compressed when every character fits one byte
// (or runs of them make it shorter); libmdb reads both forms.
TEST(JetBuilderJet4Text, CompressedAndPlainTextBothComeBack) {
    struct Case {
        const char* value;
        bool compression;
        bool storedCompressed;
    };
    const Case cases[] = {
        {"ABC", true, true},
        {"ABC", false, false},
        {"りんご", true, false},         // compressing would not make it shorter
        {"ABCDEFGHりんご", true, true},  // a run of one-byte characters, then two-byte ones
        {"一二三四五六七八九十ABCDEFGHIJ", true, false},  // 一 (U+4E00) cannot be compressed
        {"Café", true, true},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        JetBuildTable t;
        t.name = "T";
        t.fields = {{.name = "S", .type = 10, .size = 100, .unicodeCompression = c.compression}};
        t.rows = {{text(c.value)}};
        const std::string path = dir.path() + "/c.mdb";
        writeJetFile(path, {t});
        MdbDatabase file(path);
        const auto rows = file.table("T")->rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].text, c.value);
        EXPECT_EQ(rows[0][0].raw.rfind("\xFF\xFE", 0) == 0, c.storedCompressed);
    }
}

TEST(JetBuilderDecimal, DecimalValuesComeBackWithTheirScale) {
    struct Case {
        const char* label;
        int precision;
        int scale;
        Value value;
        const char* text;  // libmdb's text of the value
        std::string raw;
    };
    const std::string zeros12(12, '\0');
    const Case cases[] = {
        {"fraction", 10, 2, text("123.45"), "123.45",
         std::string("\0", 1) + zeros12 + std::string("\x39\x30\0\0", 4)},
        {"negative", 5, 4, text("-0.5"), "-0.5000",
         "\x80" + zeros12 + std::string("\x88\x13\0\0", 4)},
        {"integer", 18, 0, integer(-7), "-7", "\x80" + zeros12 + std::string("\x07\0\0\0", 4)},
        {"widest", 28, 0, text("9999999999999999999999999999"), "9999999999999999999999999999",
         std::string("\0\0\0\0\0\x5E\xCE\x4F\x20\x61\x02\x25\x3E\xFF\xFF\xFF\x0F", 17)},
        {"null", 18, 2, kNull, "", ""},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        JetBuildTable t;
        t.name = "DEC";
        t.fields = {{.name = "N", .type = 20, .precision = c.precision, .scale = c.scale}};
        t.rows = {{c.value}};
        const std::string path = dir.path() + "/d.mdb";
        writeJetFile(path, {t});
        MdbDatabase file(path);
        auto table = file.table("DEC");
        const auto columns = table->columns();
        EXPECT_EQ(columns.at(0).type, MDB_NUMERIC);
        EXPECT_EQ(columns.at(0).precision, c.precision);
        EXPECT_EQ(columns.at(0).scale, c.scale);
        const auto rows = table->rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].text, c.text);
        EXPECT_EQ(rows[0][0].null, c.raw.empty());
        if (!c.raw.empty()) {
            EXPECT_EQ(rows[0][0].raw, c.raw);
        }
    }
}

// Jet 3 text is stored in the database's code page, which the header names;
// libmdb decodes it with whatever MDB_JET3_CHARSET says.
TEST(JetBuilderJet3Text, TextIsStoredInTheCodePageTheHeaderNames) {
    struct Case {
        int codePage;
        const char* value;
        const char* charset;
        std::string expected;
    };
    const Case cases[] = {
        {932, "ﾊﾝｶｸと全角～①", "CP932", "ﾊﾝｶｸと全角～①"},
        {1252, "Café €5", "CP1252", "Café €5"},
        // With no charset named, libmdb 1.0.0 takes the header's code page.
        {932, "あ", nullptr, "あ"},
        // Read as CP1252, the Shift-JIS bytes of "あ" (82 A0) come out wrong.
        {932, "あ", "CP1252", "\xE2\x80\x9A\xC2\xA0"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        JetBuildTable t;
        t.name = "T";
        t.fields = {{.name = "S", .type = 10, .size = 40}, {.name = "M", .type = 12}};
        t.rows = {{text(c.value), text(c.value)}};
        const std::string path = dir.path() + "/c.mdb";
        writeJetFile(path, {t}, JetVersion::kJet3, c.codePage);
        MdbDatabase file(path, c.charset);
        EXPECT_FALSE(file.jet4());
        EXPECT_EQ(file.codePage(), c.codePage);
        const auto rows = file.table("T")->rows();
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0][0].text, c.expected);
        EXPECT_EQ(rows[0][1].text, c.expected);
    }
}

TEST(JetBuilderBytes, TheFileIsWholePagesWithTheHeaderFirst) {
    JetBuildTable t;
    t.name = "T";
    t.fields = {{.name = "M", .type = 12}};
    t.rows = {{Value{repeat("x", 50000)}}};
    for (JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        const auto bytes = buildJetFile({t}, version, 1252);
        const std::size_t page = jetPageSize(version);
        EXPECT_GT(bytes.size(), 10 * page);  // the memo alone needs long-value pages
        EXPECT_EQ(bytes.size() % page, 0u);
        EXPECT_EQ(std::string(bytes.begin() + 4, bytes.begin() + 19), "Standard Jet DB");
        EXPECT_EQ(bytes[0x14], version == JetVersion::kJet4 ? 1 : 0);
        EXPECT_EQ(bytes[2 * page], 0x02);  // the catalog's table definition
    }
}

TEST(JetBuilderErrors, BadDescriptionsAreRefusedWithAReason) {
    auto table = [](std::vector<JetBuildField> fields, std::vector<std::vector<Value>> rows) {
        JetBuildTable t;
        t.name = "T";
        t.fields = std::move(fields);
        t.rows = std::move(rows);
        return t;
    };
    struct Case {
        const char* label;
        std::vector<JetBuildTable> tables;
        JetVersion version;
        int codePage;
        const char* reason;
    };
    JetBuildTable badIndex = table({{.name = "A", .type = 4}}, {});
    badIndex.indexes = {{.name = "ix", .columns = {"Z"}}};
    JetBuildTable lonelyRelationship = table({{.name = "A", .type = 4}}, {});
    lonelyRelationship.indexes = {{.name = "rel", .columns = {"A"}, .relationship = true}};
    JetBuildTable wide = table({}, {{}});
    for (int i = 0; i < 9; ++i) {
        wide.fields.push_back({.name = "F" + std::to_string(i), .type = 10, .size = 255});
        wide.rows[0].push_back(Value{repeat("字", 255)});
    }
    const Case cases[] = {
        {"textIntoLong",
         {table({{.name = "A", .type = 4}}, {{text("1")}})},
         JetVersion::kJet4,
         932,
         "expected an integer"},
        {"byteOutOfRange",
         {table({{.name = "A", .type = 2}}, {{integer(256)}})},
         JetVersion::kJet4,
         932,
         "out of range"},
        {"longOutOfRange",
         {table({{.name = "A", .type = 4}}, {{integer(1LL << 31)}})},
         JetVersion::kJet4,
         932,
         "out of range"},
        {"rowTooShort",
         {table({{.name = "A", .type = 4}, {.name = "B", .type = 4}}, {{integer(1)}})},
         JetVersion::kJet4,
         932,
         "has 1 values for 2 fields"},
        {"unknownType",
         {table({{.name = "A", .type = 9}}, {})},
         JetVersion::kJet4,
         932,
         "unsupported type"},
        {"duplicateField",
         {table({{.name = "A", .type = 4}, {.name = "A", .type = 3}}, {})},
         JetVersion::kJet4,
         932,
         "two fields named A"},
        {"unknownIndexColumn", {badIndex}, JetVersion::kJet4, 932, "unknown field Z"},
        {"relationshipWithoutIndex",
         {lonelyRelationship},
         JetVersion::kJet4,
         932,
         "needs an index on the same fields"},
        {"textLongerThanField",
         {table({{.name = "A", .type = 10, .size = 3}}, {{text("abcd")}})},
         JetVersion::kJet4,
         932,
         "longer than the field's 3 characters"},
        {"jet3TextOver255Bytes",
         {table({{.name = "A", .type = 10, .size = 255}}, {{Value{repeat("字", 128)}}})},
         JetVersion::kJet3,
         932,
         "longer than 255 bytes"},
        {"rowLargerThanAPage", {wide}, JetVersion::kJet4, 932, "more than a page holds"},
        {"outsideBmp",
         {table({{.name = "A", .type = 10}}, {{text("\xF0\x9F\x98\x80")}})},
         JetVersion::kJet4,
         932,
         "Basic Multilingual Plane"},
        {"notInCp932",
         {table({{.name = "A", .type = 10}}, {{text("ÿ")}})},
         JetVersion::kJet3,
         932,
         "code page 932"},
        {"unknownCodePage",
         {table({{.name = "A", .type = 4}}, {})},
         JetVersion::kJet3,
         1251,
         "not supported"},
        {"guid",
         {table({{.name = "A", .type = 15}}, {{text("{123}")}})},
         JetVersion::kJet4,
         932,
         "not a GUID"},
        {"decimalTooWide",
         {table({{.name = "A", .type = 20, .precision = 4, .scale = 2}}, {{text("100.5")}})},
         JetVersion::kJet4,
         932,
         "does not fit precision 4"},
        {"decimalTooManyDecimals",
         {table({{.name = "A", .type = 20, .precision = 9, .scale = 2}}, {{text("1.005")}})},
         JetVersion::kJet4,
         932,
         "more decimals than the scale 2"},
        {"decimalInJet3",
         {table({{.name = "A", .type = 20}}, {})},
         JetVersion::kJet3,
         932,
         "Jet 4 files only"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        try {
            writeJetFile(dir.path() + "/bad.mdb", c.tables, c.version, c.codePage);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
    EXPECT_THROW(writeJetFile(dir.path() + "/no/such/folder/x.mdb", {}), std::runtime_error);
}

// mdbtools' own command-line tools read the files as well.
std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return out;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

TEST(JetBuilderWithMdbTools, TablesExportAndPropertiesMatch) {
    if (!std::filesystem::exists("/usr/bin/mdb-export"))
        GTEST_SKIP() << "mdbtools' command-line tools are not installed";
    JetBuildTable t;
    t.name = "SHOHIN";
    t.fields = {{.name = "CODE", .type = 10, .size = 10},
                {.name = "NAME", .type = 10, .size = 50, .allowZeroLength = true},
                {.name = "QTY", .type = 4, .defaultValue = "0"}};
    t.indexes = {{.name = "pkkey", .columns = {"CODE"}, .primary = true}};
    t.rows = {{text("A1"), text("りんご"), integer(3)}, {text("B'2"), text("\"x\""), kNull}};
    JetBuildTable other;
    other.name = "空";
    other.fields = {{.name = "X", .type = 7}};
    TempDir dir;
    const std::string path = dir.path() + "/s.mdb";
    writeJetFile(path, {t, other});
    EXPECT_EQ(run("mdb-tables -1 " + path), "SHOHIN\n空\n");
    EXPECT_EQ(run("mdb-export " + path + " SHOHIN"),
              "CODE,NAME,QTY\n\"A1\",\"りんご\",3\n\"B'2\",\"\"\"x\"\"\",\n");
    EXPECT_EQ(run("mdb-export " + path + " 空"), "X\n");
    const std::string props = run("mdb-prop " + path + " SHOHIN");
    EXPECT_NE(props.find("name: NAME\n\tAllowZeroLength: yes"), std::string::npos) << props;
    EXPECT_NE(props.find("DefaultValue: 0"), std::string::npos) << props;
    const std::string schema = run("mdb-schema " + path + " postgres 2>/dev/null");
    EXPECT_NE(schema.find("PRIMARY KEY (\"code\")"), std::string::npos) << schema;
}

}  // namespace
}  // namespace malvorn::testing
