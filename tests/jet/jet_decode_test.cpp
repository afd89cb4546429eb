// Built and real files reach the plain shapes; here, what no file the tests
// can make holds: other locales, odd names and keys, the widest decimals.
#include "jet/jet_decode.h"

#include <gtest/gtest.h>

namespace malvorn::jet {
namespace {

TEST(Jet3Charset, JapaneseFilesReadAsCp932) {
    const std::tuple<int, int, const char*> cases[] = {
        {932, 0x409, "CP932"},   {1252, 0x411, "CP932"},  {0, 0x411, "CP932"},
        {1250, 0x405, "CP1250"}, {1251, 0x419, "CP1251"}, {0, 0, "CP1252"},
        {437, 0x409, "CP1252"},  {65001, 0, "CP1252"}};
    for (const auto& [codePage, languageId, charset] : cases)
        EXPECT_EQ(jet3Charset(codePage, languageId), charset) << codePage << " " << languageId;
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
    const std::tuple<std::vector<StoredIndex>, Flat> cases[] = {
        {{{".rI", 0, 2, {}}, {"CustomerID", 1, 0, {1}}, {"PrimaryKey", 0, 1, {0}}},
         Flat({"CustomerID", {"CustomerID"}})},
        {{{"ShippersOrders", 6, 2, {}}, {"A", 0, 0, {0}}}, {}},  // relationship to nothing
        {{{"PrimaryKey", 0, 1, {0, 7}}}, {}},
        {{{"PrimaryKey", 0, 1, {-1}}}, {}},
        {{{".rB", 0, 2, {}}}, {}},
    };
    for (const auto& [indexes, first] : cases) {
        const auto found = firstIndexOf(indexes, fields);
        EXPECT_EQ(found ? Flat({found->name, found->fieldNames}) : std::nullopt, first);
    }
}

TEST(Definition, NamesAndKeysNoEngineWrites) {
    const std::tuple<std::vector<std::string>, std::vector<int>, bool> cases[] = {
        {{"ID", "名前", "ＩＤ"}, {0, 2}, false},  // full-width is another name
        {{"A\x7F"}, {}, true},
        {{"A\tB"}, {}, true},
        {{"Ab", "aB"}, {}, true},
        {{"Ä", "ä"}, {}, false},  // only ASCII letters fold
        {{"A", "B"}, {1, 0, 1}, true},
        {{"A", "B"}, {-1, -1}, true},
        {{"A"}, {}, false},
    };
    for (const auto& [names, keys, damaged] : cases)
        EXPECT_EQ(!definitionDamage(names, {{"ix", 0, 0, keys}}).empty(), damaged) << names[0];
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
    const std::tuple<std::vector<unsigned char>, int, const char*> cases[] = {
        {stored(0x80, {0, 0, 0, 5}), 3, "-0.005"},
        {stored(0x80, {0, 0, 0, 0}), 0, "0"},
        {stored(0, {0, 0, 1, 0}), 0, "4294967296"},
        {stored(0, {0x4B3B4CA8, 0x5A86C47A, 0x098A223F, 0xFFFFFFFF}), 0,
         "99999999999999999999999999999999999999"},
    };
    for (const auto& [bytes, scale, text] : cases)
        EXPECT_EQ(decimalText(bytes.data(), scale), text) << text;
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

}  // namespace
}  // namespace malvorn::jet
