// Built and real files reach the plain shapes; here, what no file the tests
// can make holds: other locales, odd names and keys, the widest decimals,
// index entries and relationship rows the engine never pairs so, and
// attachment bytes packed every way.
#include "jet/jet_decode.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "jet/attachment_data.h"
#include "jet/complex_columns.h"
#include "jet/jet_schema_rules.h"
#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;

TEST(Jet3Charset, JapaneseFilesReadAsCp932) {
    struct Case {
        int codePage;
        int languageId;
        const char* charset;
    };
    const Case cases[] = {{932, 0x409, "CP932"},   {1252, 0x411, "CP932"},  {0, 0x411, "CP932"},
                          {1250, 0x405, "CP1250"}, {1251, 0x419, "CP1251"}, {0, 0, "CP1252"},
                          {437, 0x409, "CP1252"},  {65001, 0, "CP1252"}};
    for (const Case& c : cases)
        EXPECT_EQ(jet3Charset(c.codePage, c.languageId), c.charset)
            << c.codePage << " " << c.languageId;
}

TEST(TableNames, SortedWithoutRegardToCase) {
    std::vector<std::string> names = {"orders", "MSysObjects", "msysNotes",
                                      "顧客",   "ORDERS2",     "alpha"};
    sortNamesIgnoringCase(names);
    EXPECT_EQ(names, (std::vector<std::string>{"alpha", "msysNotes", "MSysObjects", "orders",
                                               "ORDERS2", "顧客"}));
    EXPECT_TRUE(sameNameIgnoringCase("Orders", "oRDERS"));
    EXPECT_FALSE(sameNameIgnoringCase("Orders", "Order"));
}

TEST(FirstIndex, HiddenEntriesAndKeysThatPointNowhere) {
    std::vector<model::JetFieldDef> fields(2);
    fields[1].name = "CustomerID";
    using Flat = std::optional<std::pair<std::string, std::vector<std::string>>>;
    struct Case {
        std::vector<StoredIndex> indexes;
        Flat first;  // name and key columns
    };
    const Case cases[] = {
        {{{".rI", 0, 2, {}}, {"CustomerID", 1, 0, {1}}, {"PrimaryKey", 0, 1, {0}}},
         Flat({"CustomerID", {"CustomerID"}})},
        {{{"ShippersOrders", 6, 2, {}}, {"A", 0, 0, {0}}}, {}},  // relationship to nothing
        {{{"PrimaryKey", 0, 1, {0, 7}}}, {}},
        {{{"PrimaryKey", 0, 1, {-1}}}, {}},
        {{{".rB", 0, 2, {}}}, {}},
    };
    for (const Case& c : cases) {
        const auto found = firstIndexOf(c.indexes, fields);
        EXPECT_EQ(found ? Flat({found->name, found->fieldNames}) : std::nullopt, c.first);
    }
}

// The file tests read one of each through the reader, the message whole.
TEST(Definition, NamesAndKeysNoEngineWrites) {
    struct Case {
        std::vector<std::string> names;
        std::vector<int> keys;
        const char* damage;  // nullptr: sound
    };
    const Case cases[] = {
        {{"ID", "名前", "ＩＤ"}, {0, 2}, nullptr},  // full-width is another name
        {{"ID", ""}, {}, "列 2 の名前が空です"},
        {{"A\x7F"}, {}, "列 1 の名前に制御文字があります"},
        {{"A\tB"}, {}, "列 1 の名前に制御文字があります"},
        {{"Ab", "aB"}, {}, "列 2 の名前 aB が他の列と重なっています"},
        {{"Ä", "ä"}, {}, nullptr},  // only ASCII letters fold
        {{"A", "B"}, {1, 0, 1}, "インデックス ix が同じ列を二度挙げています"},
        {{"A", "B"}, {-1, -1}, "インデックス ix が同じ列を二度挙げています"},
        {{"A"}, {}, nullptr},
    };
    for (const Case& c : cases)
        EXPECT_EQ(definitionDamage(c.names, {{"ix", 0, 0, c.keys}}), c.damage ? c.damage : "")
            << c.names[0];
}

TEST(RawValues, DecimalText) {
    // Sign byte, then four little-endian 32-bit groups, most significant first.
    const auto stored = [](unsigned char sign, std::vector<std::uint32_t> groups) {
        std::vector<unsigned char> bytes{sign};
        for (const std::uint32_t group : groups)
            for (int shift = 0; shift < 32; shift += 8)
                bytes.push_back(static_cast<unsigned char>(group >> shift));
        return bytes;
    };
    struct Case {
        std::vector<unsigned char> bytes;
        int scale;
        const char* text;
    };
    const Case cases[] = {
        {stored(0x80, {0, 0, 0, 5}), 3, "-0.005"},
        {stored(0x80, {0, 0, 0, 0}), 0, "0"},
        {stored(0, {0, 0, 1, 0}), 0, "4294967296"},
        {stored(0, {0x4B3B4CA8, 0x5A86C47A, 0x098A223F, 0xFFFFFFFF}), 0,
         "99999999999999999999999999999999999999"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decimalText(c.bytes.data(), c.scale), c.text) << c.text;
}

// Stored Date/Time Extended values against dates counted independently
// from 0001-01-01; what the engine never stores gives nothing.
TEST(ExtendedDate, DaysAndTicksToExactText) {
    struct Case {
        const char* stored;
        const char* text;  // nullptr: not a value
    };
    const Case cases[] = {
        {"0000000000000000000:0000000000000000000:7 ", "0001-01-01 00:00:00.0000000"},
        {"0000000000000365240:0000000452967891234:7 ", "1000-12-30 12:34:56.7891234"},
        {"0000000000000738153:0000000452967891234:7 ", "2021-12-30 12:34:56.7891234"},
        {"0000000000003287180:0000000000000000001:7 ", "9000-12-30 00:00:00.0000001"},
        {"0000000000003652058:0000000863999999999:7 ", "9999-12-31 23:59:59.9999999"},
        {"0000000000003652059:0000000000000000000:7 ", nullptr},  // year 10000
        {"0000000000000000000:0000000864000000000:7 ", nullptr},  // past the day
        {"0000000000000000000-0000000000000000000:7 ", nullptr},
        {"0000000000000000000:0000000000000000000:6 ", nullptr},
        {"-000000000000000001:0000000000000000000:7 ", nullptr},
        {"0000000000000000000:0000000000000000000:7", nullptr},  // 41 bytes
    };
    for (const Case& c : cases) {
        const std::string stored = c.stored;
        const auto text =
            extendedDateText(reinterpret_cast<const unsigned char*>(stored.data()), stored.size());
        if (c.text)
            EXPECT_EQ(text, std::optional<std::string>(c.text)) << c.stored;
        else
            EXPECT_EQ(text, std::nullopt) << c.stored;
    }
}

// The page key sits masked in the header; only ACE files are refused for it.
TEST(EncryptedHeader, KeyUnderTheMaskOfAnAceHeader) {
    struct Case {
        unsigned char version;
        std::size_t flipped;  // 0: none
        bool encrypted;
    };
    const Case cases[] = {
        {0x02, 0, false},    {0x02, 0x3E, true},  {0x02, 0x41, true},
        {0x02, 0x42, false},  // past the key: the masked password
        {0x05, 0x3F, true},  {0x01, 0x3E, false}, {0x00, 0x3E, false},
    };
    // The mask over an unencrypted real header's bytes 0x3E..0x41 (key 0).
    const unsigned char maskedZeroKey[] = {0xFB, 0x8A, 0xBC, 0x4E};
    for (const Case& c : cases) {
        std::vector<unsigned char> header(kHeaderBytesForKey, 0);
        header[0x14] = c.version;
        std::copy(std::begin(maskedZeroKey), std::end(maskedZeroKey), header.begin() + 0x3E);
        if (c.flipped)
            header[c.flipped] ^= 0x01;
        EXPECT_EQ(aceEncrypted(header.data(), header.size()), c.encrypted)
            << int{c.version} << " " << c.flipped;
    }
    EXPECT_FALSE(aceEncrypted(std::vector<unsigned char>(0x40, 0xFF).data(), 0x40));
}

// Which index entries are the user's, with their keys, order and flags.
TEST(UserIndexes, OnlyTheIndexesTheUserSeesWithTheirKeysAndFlags) {
    std::vector<model::JetFieldDef> fields(4);
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i].name = std::vector<std::string>{"ID", "Name", "Date", "Tags"}[i];
    fields[3].typeCode = model::kJetComplex;
    struct Case {
        const char* what;
        std::vector<StoredIndex> stored;
        std::vector<std::string> indexes;
    };
    const Case cases[] = {
        {"hidden and relationship entries are left out",
         {{".rB", 0, 0, {0}}, {"Rel", 0, 2, {}}, {"ByName", 1, 0, {1}}},
         {"ByName(Name)"}},
        {"an entry sharing a stored index takes its keys and order",
         {{.name = "A", .keyColumns = {2, 0}, .descending = {true, false}}, {"B", 0, 0, {}}},
         {"A(Date desc, ID)", "B(Date desc, ID)"}},
        {"a key outside the table or no key at all gives nothing",
         {{"Out", 0, 0, {7}}, {"None", 3, 0, {}}},
         {}},
        {"the engine's own index over a complex column is left out",
         {{"Tags_0A3F", 0, 0, {3}}, {"ByDate", 1, 0, {2}}},
         {"ByDate(Date)"}},
        {"the flags are the stored index's; a primary key is unique",
         {{"PrimaryKey", 0, 1, {0}},
          {.name = "N", .number = 1, .keyColumns = {1}, .ignoreNulls = true, .required = true}},
         {"PrimaryKey(ID) primary unique", "N(Name) ignoreNulls required"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> indexes;
        for (const auto& index : userIndexesOf(c.stored, fields))
            indexes.push_back(indexText(index));
        EXPECT_EQ(indexes, c.indexes) << c.what;
    }
}

RelationshipRow row(const char* name, std::int64_t position, std::int64_t count, const char* column,
                    const char* referenced, std::uint32_t attributes = 0) {
    return {name, "Child", column, "Parent", referenced, position, count, attributes};
}

TEST(Relationships, RowsMakeRelationshipsInTheirColumnOrder) {
    const auto read = relationshipsOf(
        {row("Two", 1, 2, "b", "y"), row("One", 0, 1, "c", "z", 4096), row("Two", 0, 2, "a", "x")});
    ASSERT_TRUE(read.damage.empty()) << read.damage;
    ASSERT_EQ(read.relationships.size(), 2u);
    EXPECT_EQ(read.relationships[0].name, "One");
    EXPECT_TRUE(read.relationships[0].cascadeDeletes());
    EXPECT_EQ(read.relationships[1].columns, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(read.relationships[1].referencedColumns, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(relationshipsOfTable(read.relationships, "child").size(), 2u);
    EXPECT_TRUE(relationshipsOfTable(read.relationships, "Other").empty());
}

TEST(Relationships, IncompleteRowsAreDamage) {
    struct Case {
        const char* what;
        std::vector<RelationshipRow> rows;
    };
    const Case cases[] = {
        {"a position missing", {row("R", 0, 2, "a", "x"), row("R", 2, 2, "b", "y")}},
        {"fewer rows than counted", {row("R", 0, 2, "a", "x")}},
        {"an empty column", {row("R", 0, 1, "", "x")}},
    };
    for (const Case& c : cases) {
        const auto read = relationshipsOf(c.rows);
        EXPECT_THAT(read.damage, HasSubstr("R")) << c.what;
        EXPECT_TRUE(read.relationships.empty()) << c.what;
    }
}

TEST(CalculatedResult, TheStatedLengthMustFitTheValue) {
    const auto value = [](std::uint8_t length, const std::string& result) {
        std::string bytes(20, '\0');
        bytes.replace(0, 16, 16, '\xAA');
        bytes[16] = static_cast<char>(length);
        return bytes + result;
    };
    struct Case {
        const char* what;
        std::string bytes;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {"a whole value", value(2, std::string("ab\0\0\0", 5)), "ab"},
        {"an empty result", value(0, ""), ""},
        {"the length past the end", value(3, "ab"), {}},
        {"shorter than the head", std::string(19, '\0'), {}},
    };
    for (const Case& c : cases) {
        const auto got = calculatedResult(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                          c.bytes.size());
        EXPECT_EQ(got ? std::optional<std::string>(*got) : std::nullopt, c.result) << c.what;
    }
}

std::string u32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

// The inner form: header length (extension included), version 1, the
// extension's characters with NUL, the UTF-16 extension, the file.
std::string packed(const std::string& extension, const std::string& file) {
    std::string utf16;
    for (const char c : extension + '\0')
        utf16 += std::string{c, '\0'};
    return u32(static_cast<std::uint32_t>(12 + utf16.size())) + u32(1) +
           u32(static_cast<std::uint32_t>(extension.size() + 1)) + utf16 + file;
}

std::string stored(bool compressed, const std::string& inner, std::uint32_t length) {
    std::string out = inner;
    if (compressed) {
        uLongf size = compressBound(static_cast<uLong>(inner.size()));
        out.assign(size, '\0');
        EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                           reinterpret_cast<const Bytef*>(inner.data()),
                           static_cast<uLong>(inner.size())),
                  Z_OK);
        out.resize(size);
    }
    return u32(compressed ? 1 : 0) + u32(length) + out;
}

TEST(AttachmentData, FileBytesComeOutExactlyOrTheValueIsDamage) {
    const std::string file = std::string("this is\0binary \xFF data", 22);
    const std::string inner = packed("txt", file);
    const auto size = static_cast<std::uint32_t>(inner.size());
    struct Case {
        const char* what;
        std::string stored;
        std::optional<std::string> file;  // nullopt: damage
    };
    const Case cases[] = {
        {"deflated", stored(true, inner, size), file},
        {"kept as is", stored(false, inner, size), file},
        {"no extension, empty file", stored(true, packed("", ""), 14), std::string()},
        {"inflates shorter than recorded", stored(true, inner, size + 1), std::nullopt},
        {"inflates longer than recorded", stored(true, inner, size - 1), std::nullopt},
        {"raw length differs", stored(false, inner, size + 3), std::nullopt},
        {"broken stream", u32(1) + u32(size) + "not a zlib stream", std::nullopt},
        {"unknown flag", u32(2) + u32(size) + inner, std::nullopt},
        {"outer header cut", u32(1), std::nullopt},
        {"inner header cut", stored(false, inner.substr(0, 10), 10), std::nullopt},
        {"extension past the header",
         stored(false, u32(12) + u32(1) + u32(4) + file,
                static_cast<std::uint32_t>(12 + file.size())),
         std::nullopt},
        {"header past the data", stored(false, u32(400) + u32(1) + u32(1) + "x", 13), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.file) {
            EXPECT_EQ(attachmentFileBytes(c.stored, "f_x"), *c.file);
        } else {
            expectJetError([&] { attachmentFileBytes(c.stored, "f_x"); }, JetErrorKind::kDamaged,
                           {"f_x"});
        }
    }
}

TEST(ComplexLink, FourBytesMakeTheNumberAndAnythingElseIsDamage) {
    EXPECT_EQ(complexLink(JetBinary{u32(0x01020304)}, "T"), JetValue(std::int64_t{0x01020304}));
    EXPECT_EQ(complexLink(JetBinary{u32(0xFFFFFFFF)}, "T"), JetValue(std::int64_t{0xFFFFFFFF}));
    EXPECT_TRUE(isNull(complexLink(JetValue{}, "T")));
    for (const JetValue& bad : {JetValue(JetBinary{"abc"}), JetValue(std::int64_t{1})})
        EXPECT_THROW(complexLink(bad, "T"), JetError);
}

}  // namespace
}  // namespace malvorn::jet
