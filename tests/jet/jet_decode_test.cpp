#include "jet/jet_decode.h"

#include <gtest/gtest.h>

namespace malvorn::jet {
namespace {

TEST(Jet3Charset, JapaneseFilesReadAsCp932) {
    const std::tuple<int, int, const char*> cases[] = {
        {932, 0x411, "CP932"},   {932, 0x409, "CP932"},   {1252, 0x411, "CP932"},
        {0, 0x411, "CP932"},     {1252, 0x409, "CP1252"}, {1250, 0x405, "CP1250"},
        {1251, 0x419, "CP1251"}, {0, 0, "CP1252"},        {437, 0x409, "CP1252"},
        {65001, 0, "CP1252"}};
    for (const auto& [codePage, languageId, charset] : cases)
        EXPECT_EQ(jet3Charset(codePage, languageId), charset) << codePage << " " << languageId;
}

TEST(TableNames, SortedWithoutRegardToCase) {
    std::vector<std::string> names = {"orders",    "MSysObjects",   "Customers",
                                      "msysNotes", "Order Details", "ORDERS2",
                                      "顧客",      "Zeta",          "alpha"};
    sortNamesIgnoringCase(names);
    const std::vector<std::string> expected = {"alpha",       "Customers",     "msysNotes",
                                               "MSysObjects", "Order Details", "orders",
                                               "ORDERS2",     "Zeta",          "顧客"};
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(sameNameIgnoringCase("Orders", "oRDERS"));
    EXPECT_FALSE(sameNameIgnoringCase("Orders", "Order"));
}

std::vector<model::JetFieldDef> fieldsNamed(std::initializer_list<const char*> names) {
    std::vector<model::JetFieldDef> fields;
    for (const char* name : names)
        fields.emplace_back().name = name;
    return fields;
}

// The plain shapes are read from built files; here, what those cannot hold.
TEST(FirstIndex, HiddenEntriesAndKeysThatPointNowhere) {
    const auto fields = fieldsNamed({"OrderID", "CustomerID", "EmployeeID"});
    using Flat = std::optional<std::pair<std::string, std::vector<std::string>>>;
    const std::tuple<const char*, std::vector<StoredIndex>, Flat> cases[] = {
        {"hidden entries are skipped",
         {{".rI", 0, 2, {}}, {"CustomerID", 1, 0, {1}}, {"PrimaryKey", 0, 1, {0}}},
         Flat({"CustomerID", {"CustomerID"}})},
        {"relationship pointing at nothing", {{"ShippersOrders", 6, 2, {}}, {"A", 0, 0, {0}}}, {}},
        {"key column outside the table", {{"PrimaryKey", 0, 1, {0, 7}}}, {}},
        {"key column not found", {{"PrimaryKey", 0, 1, {-1}}}, {}},
        {"only hidden entries", {{".rB", 0, 2, {}}}, {}},
    };
    for (const auto& [what, indexes, first] : cases) {
        const auto found = firstIndexOf(indexes, fields);
        EXPECT_EQ(found ? Flat({found->name, found->fieldNames}) : std::nullopt, first) << what;
    }
}

// Built files carry the plain damaged shapes; here, the edges of each rule.
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
    for (const auto& [names, keys, damaged] : cases) {
        const std::vector<StoredIndex> indexes{{"ix", 0, 0, keys}};
        EXPECT_EQ(!definitionDamage(names, indexes).empty(), damaged) << names.at(0);
    }
}

// Decimals and GUIDs are read whole from built files; here, the widest
// decimal, a carry between groups and a negative zero.
TEST(RawValues, DecimalText) {
    // Sign byte, then four little-endian 32-bit groups, most significant first.
    auto stored = [](bool negative, std::uint32_t g0, std::uint32_t g1, std::uint32_t g2,
                     std::uint32_t g3) {
        std::vector<unsigned char> bytes(17, 0);
        bytes[0] = negative ? 0x80 : 0x00;
        const std::uint32_t groups[] = {g0, g1, g2, g3};
        for (int g = 0; g < 4; ++g)
            for (int b = 0; b < 4; ++b)
                bytes[1 + 4 * g + b] = static_cast<unsigned char>(groups[g] >> (8 * b));
        return bytes;
    };
    const std::tuple<std::vector<unsigned char>, int, const char*> cases[] = {
        {stored(true, 0, 0, 0, 5), 3, "-0.005"},
        {stored(true, 0, 0, 0, 0), 0, "0"},
        {stored(false, 0, 0, 1, 0), 0, "4294967296"},
        {stored(false, 0x4B3B4CA8, 0x5A86C47A, 0x098A223F, 0xFFFFFFFF), 0,
         "99999999999999999999999999999999999999"},
    };
    for (const auto& [bytes, scale, text] : cases)
        EXPECT_EQ(decimalText(bytes.data(), scale), text) << text;
}

}  // namespace
}  // namespace malvorn::jet
