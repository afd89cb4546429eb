// The reader against Jet files made by the test builder: every type, the
// properties, index shapes, Japanese names, long memos, dates and amounts
// beyond what the library's text forms carry, Nulls and long tables.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>

#include "jet/jet_reader_client.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "support/temp_dir.h"
#include "transfer/row_statements.h"

namespace malvorn::jet {
namespace {

using testing::JetBuildField;
using testing::JetBuildIndex;
using testing::JetBuildTable;
using testing::JetBuildValue;
using testing::JetVersion;
using testing::writeJetFile;

using Opener = std::function<std::unique_ptr<JetSource>(const std::string&)>;

struct Way {
    const char* name;
    Opener open;
};

std::unique_ptr<JetSource> throughReader(const std::string& path) {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.rowsPerBatch = 64;
    return openJetSource(path, options);
}

class BuiltFiles : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> build(const std::vector<JetBuildTable>& tables,
                                     JetVersion version = JetVersion::kJet4, int codePage = 932) {
        const std::string path = dir_.path() + "/built" + std::to_string(++files_) + ".mdb";
        writeJetFile(path, tables, version, codePage);
        return GetParam().open(path);
    }

  private:
    TempDir dir_;
    int files_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Ways, BuiltFiles,
                         ::testing::Values(Way{"here", openJetFileHere},
                                           Way{"reader", throughReader}),
                         [](const auto& way) { return std::string(way.param.name); });

JetBuildField makeField(const std::string& name, int type, int size = 50) {
    JetBuildField field;
    field.name = name;
    field.type = type;
    field.size = size;
    return field;
}

std::vector<JetRow> allRows(JetSource& source, const std::string& table) {
    auto rows = source.openRows(table);
    std::vector<JetRow> all;
    JetRow row;
    while (rows->next(row))
        all.push_back(row);
    return all;
}

TEST_P(BuiltFiles, EveryTypeWithItsSizeAndValue) {
    JetBuildTable table;
    table.name = "AllTypes";
    table.fields = {makeField("YesNo", 1),      makeField("Byte", 2),   makeField("Int", 3),
                    makeField("Long", 4),       makeField("Money", 5),  makeField("Single", 6),
                    makeField("Double", 7),     makeField("When", 8),   makeField("Code", 10, 10),
                    makeField("Wide", 10, 255), makeField("Notes", 12), makeField("Picture", 11),
                    makeField("Guid", 15)};
    table.rows = {{true, std::int64_t{255}, std::int64_t{-32768}, std::int64_t{2147483647},
                   std::int64_t{123456}, 0.1, 1.0 / 3.0, 36925.4375, std::string("O'Neil"),
                   std::string(255, 'w'), std::string("memo"), JetBuildValue(), JetBuildValue()}};
    const auto source = build({table});

    const convert::JetTableDef def = source->readTable("AllTypes");
    const std::vector<std::int16_t> types = {1, 2, 3, 4, 5, 6, 7, 8, 10, 10, 12, 11, 15};
    ASSERT_EQ(def.fields.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        EXPECT_EQ(def.fields[i].typeCode, types[i]) << def.fields[i].name;
        EXPECT_EQ(def.fields[i].name, table.fields[i].name);
    }
    EXPECT_EQ(def.fields[8].size, 10);  // characters, not bytes
    EXPECT_EQ(def.fields[9].size, 255);
    EXPECT_FALSE(def.firstIndex.has_value());

    auto cursor = source->openRows("AllTypes");
    ASSERT_EQ(cursor->columns().size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(cursor->columns()[i].typeCode, types[i]);
    JetRow row;
    ASSERT_TRUE(cursor->next(row));
    EXPECT_EQ(row[0], JetValue(true));
    EXPECT_EQ(row[1], JetValue(std::int64_t{255}));
    EXPECT_EQ(row[2], JetValue(std::int64_t{-32768}));
    EXPECT_EQ(row[3], JetValue(std::int64_t{2147483647}));
    EXPECT_EQ(row[4], JetValue(JetCurrency{123456}));
    EXPECT_EQ(row[5], JetValue(0.1f));
    EXPECT_EQ(row[6], JetValue(1.0 / 3.0));
    EXPECT_EQ(row[7], JetValue(JetDate{36925.4375}));
    EXPECT_EQ(row[8], JetValue(std::string("O'Neil")));
    EXPECT_EQ(row[9], JetValue(std::string(255, 'w')));
    EXPECT_EQ(row[10], JetValue(std::string("memo")));
    EXPECT_TRUE(isNull(row[11]));
    EXPECT_TRUE(isNull(row[12]));
    EXPECT_FALSE(cursor->next(row));

    EXPECT_EQ(transfer::rowStatement(
                  transfer::statementHead("AllTypes", def.fields),
                  transfer::rowLiterals(cursor->columns(), allRows(*source, "AllTypes")[0])),
              "INSERT INTO AllTypes (YesNo, Byte, Int, Long, Money, Single, Double, When, Code, "
              "Wide, Notes, Picture, Guid) VALUES (-1, 255, -32768, 2147483647, 12.3456, 0.1, "
              "0.3333333333333333, TO_DATE('2001-02-03 10:30:00','YYYY-MM-DD HH24:MI:SS'), "
              "'O''Neil', '" +
                  std::string(255, 'w') + "', 'memo', NULL, '')");
}

TEST_P(BuiltFiles, AllowZeroLengthAndDefaultValues) {
    JetBuildTable table;
    table.name = "Props";
    struct Case {
        const char* name;
        int type;
        bool allowZeroLength;
        const char* defaultValue;
    };
    const Case cases[] = {
        {"Plain", 10, false, ""},        {"Empty", 10, true, ""},
        {"Quoted", 10, true, "\"abc\""}, {"Zero", 4, false, "0"},
        {"Today", 8, false, "Date()"},   {"Flag", 1, false, "=No"},
        {"Memo", 12, true, "\"長い\""},  {"Amount", 5, false, "100.5"},
    };
    for (const auto& c : cases) {
        JetBuildField field = makeField(c.name, c.type);
        field.allowZeroLength = c.allowZeroLength;
        field.defaultValue = c.defaultValue;
        table.fields.push_back(field);
    }
    const auto def = build({table})->readTable("Props");
    ASSERT_EQ(def.fields.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(def.fields[i].allowZeroLength, cases[i].allowZeroLength) << cases[i].name;
        EXPECT_EQ(def.fields[i].defaultValue, cases[i].defaultValue) << cases[i].name;
    }
}

TEST_P(BuiltFiles, FirstIndexFollowsTheListedOrderWithKeysInKeyOrder) {
    const std::vector<JetBuildField> fields = {makeField("A", 4), makeField("B", 10),
                                               makeField("C", 8)};
    JetBuildTable primaryFirst{"PrimaryFirst", fields, {}, {}};
    primaryFirst.indexes = {{"PrimaryKey", {"B", "A"}, true}, {"ByC", {"C"}, false}};
    JetBuildTable otherFirst{"OtherFirst", fields, {}, {}};
    otherFirst.indexes = {{"ByC", {"C", "A"}, false}, {"PrimaryKey", {"A"}, true}};
    JetBuildTable pkkey{"Pk", fields, {}, {}};
    pkkey.indexes = {{"pkkey", {"A", "B", "C"}, true}};
    JetBuildTable none{"NoIndex", fields, {}, {}};
    const auto source = build({primaryFirst, otherFirst, pkkey, none});

    struct Case {
        const char* table;
        const char* index;
        std::vector<std::string> keys;
    };
    const Case cases[] = {{"PrimaryFirst", "PrimaryKey", {"B", "A"}},
                          {"OtherFirst", "ByC", {"C", "A"}},
                          {"Pk", "pkkey", {"A", "B", "C"}}};
    for (const auto& c : cases) {
        const auto def = source->readTable(c.table);
        ASSERT_TRUE(def.firstIndex.has_value()) << c.table;
        EXPECT_EQ(def.firstIndex->name, c.index) << c.table;
        EXPECT_EQ(def.firstIndex->fieldNames, c.keys) << c.table;
    }
    EXPECT_FALSE(source->readTable("NoIndex").firstIndex.has_value());
    EXPECT_GE(source->tableNames().size(), 4u);
}

TEST_P(BuiltFiles, RelationshipEntriesAndIndexesWithoutKeys) {
    const std::vector<JetBuildField> fields = {makeField("OrderID", 4),
                                               makeField("CustomerID", 10)};
    JetBuildIndex relationship{"CustomersOrders", {"CustomerID"}, false};
    relationship.relationship = true;
    JetBuildTable related{"Related", fields, {}, {}};
    related.indexes = {
        relationship, {"CustomerID", {"CustomerID"}, false}, {"PrimaryKey", {"OrderID"}, true}};
    JetBuildTable damaged{"Damaged", fields, {}, {}};
    damaged.indexes = {{"PrimaryKey", {}, true}, {"CustomerID", {"CustomerID"}, false}};
    const auto source = build({related, damaged});

    const auto first = source->readTable("Related").firstIndex;
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->name, "CustomersOrders");
    EXPECT_EQ(first->fieldNames, std::vector<std::string>{"CustomerID"});
    // No key columns: no first index, so the script gets no "PRIMARY KEY()".
    EXPECT_FALSE(source->readTable("Damaged").firstIndex.has_value());
}

TEST_P(BuiltFiles, DecimalsKeepEveryDigit) {
    JetBuildField amount = makeField("Amount", jet::kJetDecimalType);
    amount.precision = 28;
    amount.scale = 4;
    JetBuildTable table{"Decimals", {makeField("ID", 4), amount}, {}, {}};
    table.rows = {{std::int64_t{1}, std::string("-123.45")},
                  {std::int64_t{2}, std::string("123456789012345678901234.5678")},
                  {std::int64_t{3}, JetBuildValue()}};
    const auto source = build({table});
    EXPECT_EQ(source->readTable("Decimals").fields.at(1).typeCode, jet::kJetDecimalType);
    const auto rows = allRows(*source, "Decimals");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][1], JetValue(JetDecimal{"-123.4500"}));
    EXPECT_EQ(rows[1][1], JetValue(JetDecimal{"123456789012345678901234.5678"}));
    EXPECT_EQ(transfer::sqlLiteral(jet::kJetDecimalType, rows[0][1]), "-123.4500");
    EXPECT_EQ(transfer::sqlLiteral(jet::kJetDecimalType, rows[2][1]), "0");
}

TEST_P(BuiltFiles, JapaneseAndFullWidthNamesAndText) {
    JetBuildTable table;
    table.name = "得意先マスタ";
    table.fields = {makeField("得意先ＣＯＤＥ１", 4), makeField("名前", 10, 40),
                    makeField("ｶﾅ", 10, 20), makeField("備考", 12)};
    table.indexes = {{"PrimaryKey", {"得意先ＣＯＤＥ１"}, true}};
    table.rows = {{std::int64_t{1}, std::string("株式会社　髙島屋"), std::string("ﾀｶｼﾏﾔ"),
                   std::string("①～③ ∥ 〒100-0001")}};
    JetBuildTable latin{"Umsätze", {makeField("Straße", 10)}, {}, {{std::string("Größe")}}};
    const auto source = build({table, latin});

    const auto names = source->tableNames();
    EXPECT_NE(std::find(names.begin(), names.end(), "得意先マスタ"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "Umsätze"), names.end());
    const auto def = source->readTable("得意先マスタ");
    EXPECT_EQ(def.fields[0].name, "得意先ＣＯＤＥ１");
    EXPECT_EQ(def.fields[2].name, "ｶﾅ");
    EXPECT_EQ(def.fields[1].size, 40);
    ASSERT_TRUE(def.firstIndex.has_value());
    EXPECT_EQ(def.firstIndex->fieldNames, std::vector<std::string>{"得意先ＣＯＤＥ１"});
    const auto rows = allRows(*source, "得意先マスタ");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(std::get<std::string>(rows[0][1]), "株式会社　髙島屋");
    EXPECT_EQ(std::get<std::string>(rows[0][2]), "ﾀｶｼﾏﾔ");
    EXPECT_EQ(std::get<std::string>(rows[0][3]), "①～③ ∥ 〒100-0001");
    EXPECT_EQ(std::get<std::string>(allRows(*source, "Umsätze").at(0).at(0)), "Größe");
}

TEST_P(BuiltFiles, LongMemosComeThroughWhole) {
    std::string ascii;
    while (ascii.size() < 100 * 1024)
        ascii += "line " + std::to_string(ascii.size()) + " of a long memo\r\n";
    std::string japanese;
    while (japanese.size() < 100 * 1024)
        japanese += "長い備考の本文です。";
    JetBuildTable table{"Memos", {makeField("ID", 4), makeField("Body", 12)}, {}, {}};
    table.rows = {{std::int64_t{1}, ascii},
                  {std::int64_t{2}, japanese},
                  {std::int64_t{3}, std::string(3000, 'x')},
                  {std::int64_t{4}, std::string()}};
    const auto rows = allRows(*build({table}), "Memos");
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(std::get<std::string>(rows[0][1]).size(), ascii.size());
    EXPECT_EQ(std::get<std::string>(rows[0][1]), ascii);
    EXPECT_EQ(std::get<std::string>(rows[1][1]), japanese);
    EXPECT_EQ(std::get<std::string>(rows[2][1]), std::string(3000, 'x'));
    EXPECT_EQ(rows[3][1], JetValue(std::string()));
}

TEST_P(BuiltFiles, DatesBeyondTheLibrarysRangeAndCurrencyToTheLastDigit) {
    const double serials[] = {-657434.0, -36522.25, -1.5, 0.0, 0.999988426, 1000001.5, 2958465.0};
    const std::int64_t amounts[] = {1,
                                    -1,
                                    99999,
                                    123456789012345678LL,
                                    std::numeric_limits<std::int64_t>::max(),
                                    std::numeric_limits<std::int64_t>::min()};
    JetBuildTable table{"Extremes", {makeField("When", 8), makeField("Amount", 5)}, {}, {}};
    for (std::size_t i = 0; i < std::size(serials) || i < std::size(amounts); ++i) {
        table.rows.push_back(
            {i < std::size(serials) ? JetBuildValue(serials[i]) : JetBuildValue(),
             i < std::size(amounts) ? JetBuildValue(amounts[i]) : JetBuildValue()});
    }
    const auto rows = allRows(*build({table}), "Extremes");
    ASSERT_EQ(rows.size(), table.rows.size());
    for (std::size_t i = 0; i < std::size(serials); ++i)
        EXPECT_EQ(std::get<JetDate>(rows[i][0]).serial, serials[i]) << i;
    for (std::size_t i = 0; i < std::size(amounts); ++i)
        EXPECT_EQ(std::get<JetCurrency>(rows[i][1]).scaled, amounts[i]) << i;
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetDate, rows[0][0]), "'0100-01-01'");
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetDate, rows[1][0]),
              "TO_DATE('1800-01-01 06:00:00','YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetDate, rows[4][0]),
              "TO_DATE('1899-12-30 23:59:59','YYYY-MM-DD HH24:MI:SS')");
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetDate, rows[6][0]), "'9999-12-31'");
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetCurrency, rows[3][1]), "12345678901234.5678");
    EXPECT_EQ(transfer::sqlLiteral(convert::kJetCurrency, rows[5][1]), "-922337203685477.5808");
}

TEST_P(BuiltFiles, NullsAndZeroLengthStrings) {
    JetBuildTable table{"Nulls",
                        {makeField("ID", 4), makeField("Name", 10), makeField("When", 8),
                         makeField("Amount", 5), makeField("Ratio", 7), makeField("Memo", 12)},
                        {},
                        {}};
    table.fields[1].allowZeroLength = true;
    table.rows = {{std::int64_t{1}, JetBuildValue(), JetBuildValue(), JetBuildValue(),
                   JetBuildValue(), JetBuildValue()},
                  {std::int64_t{2}, std::string(), 1.0, std::int64_t{0}, 0.0, std::string()}};
    const auto source = build({table});
    const auto rows = allRows(*source, "Nulls");
    ASSERT_EQ(rows.size(), 2u);
    for (std::size_t c = 1; c < 6; ++c)
        EXPECT_TRUE(isNull(rows[0][c])) << c;
    EXPECT_EQ(rows[1][1], JetValue(std::string()));
    EXPECT_EQ(rows[1][5], JetValue(std::string()));
    auto cursor = source->openRows("Nulls");
    EXPECT_EQ(transfer::rowLiterals(cursor->columns(), rows[0]),
              (std::vector<std::string>{"1", "''", "NULL", "0", "0", "''"}));
}

TEST_P(BuiltFiles, ManyRowsStreamInOrder) {
    constexpr std::int64_t kRows = 20000;
    JetBuildTable table{"Many", {makeField("ID", 4), makeField("Name", 10, 30)}, {}, {}};
    for (std::int64_t i = 1; i <= kRows; ++i)
        table.rows.push_back({i, "行" + std::to_string(i)});
    const auto source = build({table});
    auto cursor = source->openRows("Many");
    EXPECT_EQ(cursor->recordedRowCount(), kRows);
    JetRow row;
    std::int64_t count = 0;
    std::int64_t sum = 0;
    while (cursor->next(row)) {
        ++count;
        const auto id = std::get<std::int64_t>(row[0]);
        sum += id;
        if (id == 12345) {
            EXPECT_EQ(std::get<std::string>(row[1]), "行12345");
        }
    }
    EXPECT_EQ(count, kRows);
    EXPECT_EQ(sum, kRows * (kRows + 1) / 2);
}

TEST_P(BuiltFiles, Jet3TextInTheFilesCodePage) {
    JetBuildTable japanese{"顧客", {makeField("名前", 10, 20)}, {}, {{std::string("ﾔﾏﾀﾞ 山田")}}};
    const auto cp932 = build({japanese}, JetVersion::kJet3, 932);
    EXPECT_EQ(cp932->readTable("顧客").fields.at(0).name, "名前");
    EXPECT_EQ(cp932->readTable("顧客").fields.at(0).size, 20);
    EXPECT_EQ(std::get<std::string>(allRows(*cp932, "顧客").at(0).at(0)), "ﾔﾏﾀﾞ 山田");

    JetBuildTable western{"Kunden", {makeField("Straße", 10, 20)}, {}, {{std::string("Größe €")}}};
    const auto cp1252 = build({western}, JetVersion::kJet3, 1252);
    EXPECT_EQ(cp1252->readTable("Kunden").fields.at(0).name, "Straße");
    EXPECT_EQ(std::get<std::string>(allRows(*cp1252, "Kunden").at(0).at(0)), "Größe €");
}

TEST_P(BuiltFiles, AMissingTableIsATypedError) {
    JetBuildTable table{"Only", {makeField("A", 4)}, {}, {}};
    const auto source = build({table});
    try {
        source->readTable("Other");
        FAIL() << "read a missing table";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kNoSuchTable);
    }
}

// Reads everything the file offers through the reader process. Returns the
// error, or nullopt when all was read.
std::optional<JetError> readEverything(const std::string& path) {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.progressTimeout = std::chrono::milliseconds(10000);
    try {
        JetReaderClient client(path, options);
        for (const auto& name : client.tableNames()) {
            client.readTable(name);
            auto rows = client.openRows(name);
            JetRow row;
            for (int n = 0; n < 1000000 && rows->next(row); ++n) {
            }
        }
    } catch (const JetError& e) {
        return e;
    }
    return std::nullopt;
}

TEST(DamagedBuiltFiles, EveryPageDamagedInTurnGivesRowsOrAnErrorNeverACrash) {
    TempDir dir;
    JetBuildTable table{"Damage",
                        {makeField("ID", 4), makeField("Name", 10), makeField("Body", 12)},
                        {{"PrimaryKey", {"ID"}, true}},
                        {}};
    for (std::int64_t i = 0; i < 300; ++i)
        table.rows.push_back(
            {i, "名前" + std::to_string(i), std::string(i % 50 == 0 ? 9000 : 20, 'm')});
    const std::string original = dir.path() + "/original.mdb";
    writeJetFile(original, {table});
    std::ifstream in(original, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t page = 4096;
    const std::size_t pages = bytes.size() / page;
    ASSERT_FALSE(readEverything(original).has_value());

    const std::string path = dir.path() + "/damaged.mdb";
    auto check = [&](const std::string& what, const std::string& damaged) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
        const auto error = readEverything(path);
        if (error) {
            EXPECT_FALSE(std::string(error->what()).empty()) << what;
        }
        return error.has_value();
    };
    int failures = 0;
    for (const std::size_t keep : {std::size_t{0}, std::size_t{100}, page, page + 1, 2 * page,
                                   bytes.size() / 2, bytes.size() - 1})
        failures += check("truncated to " + std::to_string(keep), bytes.substr(0, keep));
    std::mt19937 random(11);
    for (std::size_t at = 1; at < pages; ++at) {
        std::string noisy = bytes;
        for (std::size_t b = 0; b < page; ++b)
            noisy[at * page + b] = static_cast<char>(random());
        failures += check("noise on page " + std::to_string(at), noisy);
        std::string flipped = bytes;
        for (std::size_t b = at * page + 8; b < (at + 1) * page; b += 5)
            flipped[b] = static_cast<char>(flipped[b] ^ 0xA5);
        failures += check("page " + std::to_string(at) + " flipped", flipped);
    }
    std::string noise(bytes.size(), '\0');
    for (auto& c : noise)
        c = static_cast<char>(random());
    EXPECT_TRUE(check("random bytes", noise));
    // At least the files cut short before the catalog fail.
    EXPECT_GE(failures, 4);
}

// A file whose first table property list has a chunk of length 0 where the
// file holds it as `chunk` (0 the first chunk, 1 the second). The Jet
// library walks such a list without end.
std::string fileWithEndlessPropertyList(const std::string& folder, int chunk) {
    JetBuildField name = makeField("Name", 10);
    name.allowZeroLength = true;
    name.defaultValue = "\"x\"";
    JetBuildTable table{"Props", {makeField("ID", 4), name}, {}, {{std::int64_t{1}, "a"}}};
    const std::string path = folder + "/endless.mdb";
    writeJetFile(path, {table});
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::size_t list = bytes.find(std::string("MR2\0", 4));
    if (list == std::string::npos)
        throw std::runtime_error("the builder wrote no property list");
    std::size_t at = list + 4;
    if (chunk == 1) {
        at += static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                          << 8;
    } else {
        bytes[at + 4] = 0;  // a value chunk before any name chunk
        bytes[at + 5] = 0;
    }
    bytes.replace(at, 4, std::string(4, '\0'));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}

TEST(DamagedBuiltFiles, ALibraryThatLoopsIsStoppedAtTheTimeLimit) {
    TempDir dir;
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.progressTimeout = std::chrono::milliseconds(1000);
    try {
        JetReaderClient client(fileWithEndlessPropertyList(dir.path(), 0), options);
        FAIL() << "opened";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed);
        EXPECT_NE(std::string(e.what()).find("応答しない"), std::string::npos) << e.what();
    }
}

TEST(DamagedBuiltFiles, ALibraryThatAllocatesWithoutEndHitsTheMemoryCeiling) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the reader has no memory ceiling under the address sanitizer";
#endif
    TempDir dir;
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.memoryLimitMb = 64;
    // Far longer than the ceiling takes to reach: the end must come from it.
    options.progressTimeout = std::chrono::milliseconds(20000);
    try {
        JetReaderClient client(fileWithEndlessPropertyList(dir.path(), 1), options);
        FAIL() << "opened";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), JetErrorKind::kReaderFailed);
        EXPECT_NE(std::string(e.what()).find("異常終了"), std::string::npos) << e.what();
    }
}

}  // namespace
}  // namespace malvorn::jet
