// The reader against Jet files written by the engine itself. They are not
// part of the project; every test here skips when they are absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "support/jet_sources.h"
#include "support/temp_dir.h"
#include "transfer/row_statements.h"

namespace malvorn::jet {
namespace {

std::string realFile(const std::string& name) {
    return std::string(MALVORN_REAL_FIXTURES) + "/" + name;
}

#define REQUIRE_REAL_FILES()                                                            \
    do {                                                                                \
        if (!std::filesystem::exists(realFile("nwind.mdb")))                            \
            GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES; \
    } while (false)

class RealFiles : public ::testing::TestWithParam<Way> {
  protected:
    std::unique_ptr<JetSource> open(const std::string& name) {
        return GetParam().open(realFile(name));
    }
};

INSTANTIATE_TEST_SUITE_P(Ways, RealFiles, bothWays(), wayName);

const convert::JetFieldDef& field(const convert::JetTableDef& table, const std::string& name) {
    for (const auto& f : table.fields) {
        if (f.name == name)
            return f;
    }
    throw std::runtime_error("no field " + name);
}

TEST_P(RealFiles, Jet3TableListSortedWithSystemTablesAndCp1252Names) {
    REQUIRE_REAL_FILES();
    const auto names = open("nwind.mdb")->tableNames();
    std::vector<std::string> users;
    for (const auto& name : names) {
        if (!name.starts_with("MSys"))
            users.push_back(name);
    }
    EXPECT_EQ(users,
              (std::vector<std::string>{"Categories", "Customers", "Employees", "Order Details",
                                        "Orders", "Products", "Shippers", "Suppliers", "Umsätze"}));
    EXPECT_NE(std::find(names.begin(), names.end(), "MSysObjects"), names.end());
}

TEST_P(RealFiles, Jet3DefinitionsWithPropertiesAndFirstIndexes) {
    REQUIRE_REAL_FILES();
    const auto source = open("nwind.mdb");
    const convert::JetTableDef orders = source->readTable("Orders");
    EXPECT_EQ(orders.name, "Orders");
    ASSERT_EQ(orders.fields.size(), 14u);
    EXPECT_EQ(orders.fields[0].name, "OrderID");
    EXPECT_EQ(orders.fields[0].typeCode, convert::kJetLong);
    const auto& customer = field(orders, "CustomerID");
    EXPECT_EQ(customer.typeCode, convert::kJetText);
    EXPECT_EQ(customer.size, 5);  // Jet 3 stores characters
    EXPECT_FALSE(customer.allowZeroLength);
    EXPECT_EQ(field(orders, "Freight").typeCode, convert::kJetCurrency);
    EXPECT_EQ(field(orders, "Freight").defaultValue, "0");
    EXPECT_EQ(field(orders, "OrderDate").defaultValue, "");

    const auto products = source->readTable("products");  // names are case-insensitive
    EXPECT_EQ(products.name, "products");
    EXPECT_EQ(field(products, "Discontinued").typeCode, convert::kJetBoolean);
    EXPECT_EQ(field(products, "Discontinued").defaultValue, "=No");

    struct Case {
        const char* table;
        const char* index;
        std::vector<std::string> keys;
    };
    const Case cases[] = {
        {"Orders", "CustomerID", {"CustomerID"}},
        {"Order Details", "OrderID", {"OrderID"}},
        {"Products", "CategoriesProducts", {"CategoryID"}},  // a relationship entry
        {"Categories", "CategoryName", {"CategoryName"}},
        {"Shippers", "PrimaryKey", {"ShipperID"}},
    };
    for (const auto& c : cases) {
        const auto table = source->readTable(c.table);
        ASSERT_TRUE(table.firstIndex.has_value()) << c.table;
        EXPECT_EQ(table.firstIndex->name, c.index) << c.table;
        EXPECT_EQ(table.firstIndex->fieldNames, c.keys) << c.table;
    }
}

TEST_P(RealFiles, Jet3RowsWithRawCurrencyDatesMemosAndPictures) {
    REQUIRE_REAL_FILES();
    const auto source = open("nwind.mdb");
    auto rows = source->openRows("Orders");
    EXPECT_EQ(rows->recordedRowCount(), 830);
    const auto orders = allRows(*source, "Orders");
    ASSERT_EQ(orders.size(), 830u);
    EXPECT_EQ(std::get<std::int64_t>(orders[0][0]), 10330);
    EXPECT_EQ(std::get<JetCurrency>(orders[0][7]), JetCurrency{127500});
    EXPECT_EQ(transfer::dateLiteral(std::get<JetDate>(orders[0][3]).serial), "'1994-11-16'");
    EXPECT_EQ(std::get<std::string>(orders[0][9]),
              "Carrera 52 con Ave. Bolívar #65-98 Llano Largo");

    const auto employees = allRows(*source, "Employees");
    ASSERT_EQ(employees.size(), 9u);
    const auto& notes = std::get<std::string>(employees[1][15]);
    EXPECT_TRUE(notes.starts_with("Andrew received his BTS commercial in 1974")) << notes;
    EXPECT_TRUE(notes.ends_with("Pacific Rim Importers Association.")) << notes;
    const auto& photo = std::get<JetBinary>(employees[1][14]).bytes;
    EXPECT_GT(photo.size(), 10000u);
    EXPECT_EQ(photo.substr(0, 2), "\x15\x1c");

    EXPECT_EQ(allRows(*source, "Order Details").size(), 2155u);
    EXPECT_EQ(allRows(*source, "Customers").size(), 91u);
}

TEST_P(RealFiles, Jet4TypesSizesAndValues) {
    REQUIRE_REAL_FILES();
    const auto source = open("types-v2000.mdb");
    const auto table = source->readTable("Table1");
    const std::vector<std::int16_t> types = {10, 10, 2, 3, 4, 7, 8, 5, 1};
    ASSERT_EQ(table.fields.size(), types.size());
    for (std::size_t i = 0; i < types.size(); ++i)
        EXPECT_EQ(table.fields[i].typeCode, types[i]) << table.fields[i].name;
    EXPECT_EQ(table.fields[0].size, 50);  // Jet 4 stores bytes; the size is characters
    EXPECT_EQ(table.fields[1].size, 100);
    EXPECT_EQ(table.fields[2].defaultValue, "0");
    ASSERT_TRUE(table.firstIndex.has_value());
    EXPECT_EQ(table.firstIndex->name, "B");

    const auto rows = allRows(*source, "Table1");
    ASSERT_EQ(rows.size(), 2u);
    const JetRow& first = rows[0];
    EXPECT_EQ(std::get<std::string>(first[0]), "abcdefg");
    EXPECT_EQ(std::get<std::int64_t>(first[2]), 2);
    EXPECT_EQ(std::get<std::int64_t>(first[3]), 222);
    EXPECT_EQ(std::get<std::int64_t>(first[4]), 333333333);
    EXPECT_EQ(std::get<double>(first[5]), 444.555);
    EXPECT_EQ(std::get<JetDate>(first[6]).serial, 27293);  // 1974-09-21
    EXPECT_EQ(std::get<JetCurrency>(first[7]), JetCurrency{35000});
    EXPECT_EQ(std::get<bool>(first[8]), true);
    EXPECT_EQ(std::get<bool>(rows[1][8]), false);

    const auto wide = source->readTable("Table2");
    EXPECT_EQ(wide.fields.size(), 89u);
    EXPECT_TRUE(wide.fields[88].allowZeroLength);
    EXPECT_EQ(field(source->readTable("Table4"), "data").typeCode, kJetGuidType);
}

TEST_P(RealFiles, Jet4UnicodeText) {
    REQUIRE_REAL_FILES();
    const auto source = open("unicode-v2003.mdb");
    const auto table = source->readTable("Table");
    EXPECT_EQ(table.fields[1].size, 255);
    EXPECT_TRUE(table.fields[1].allowZeroLength);
    const auto rows = allRows(*source, "Table");
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(std::get<std::string>(rows[2][1]), "Мир");
    EXPECT_EQ(std::get<std::string>(rows[4][1]), "漢字仮名交じり文");
}

TEST_P(RealFiles, MissingTablesAreTypedErrors) {
    REQUIRE_REAL_FILES();
    const auto source = open("nwind.mdb");
    for (const char* name : {"NoSuchTable", "", "Orders "}) {
        try {
            source->readTable(name);
            ADD_FAILURE() << "read '" << name << "'";
        } catch (const JetError& e) {
            EXPECT_EQ(e.kind(), JetErrorKind::kNoSuchTable) << name;
        }
        EXPECT_THROW(source->openRows(name), JetError) << name;
    }
    // The source is still usable afterwards.
    EXPECT_EQ(source->readTable("Shippers").fields.size(), 3u);
}

TEST(DamagedFiles, TruncatedOrOverwrittenGiveErrorsNeverACrash) {
    REQUIRE_REAL_FILES();
    std::ifstream in(realFile("nwind.mdb"), std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(in)), {});
    const std::size_t page = 2048;  // Jet 3 pages
    const std::size_t pages = original.size() / page;

    std::vector<std::pair<std::string, std::string>> variants;
    for (const std::size_t keep : {page * 1, page * 2 + 100, page * 3, page * 20, page * 100,
                                   original.size() / 2, original.size() - 1})
        variants.emplace_back("truncated to " + std::to_string(keep), original.substr(0, keep));
    std::mt19937 random(42);
    for (int i = 0; i < 12; ++i) {
        const std::size_t at = 1 + random() % (pages - 1);
        std::string damaged = original;
        for (std::size_t b = 0; b < page; ++b)
            damaged[at * page + b] = static_cast<char>(random());
        variants.emplace_back("noise on page " + std::to_string(at), damaged);
    }
    for (const std::size_t at : {std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
        std::string damaged = original;
        damaged.replace(at * page, page, page, '\xff');
        variants.emplace_back("page " + std::to_string(at) + " all ones", damaged);
        damaged[at * page] = original[at * page];
        for (std::size_t b = 1; b < page; b += 7)
            damaged[at * page + b] = static_cast<char>(original[at * page + b] ^ 0x5A);
        variants.emplace_back("page " + std::to_string(at) + " flipped", damaged);
    }

    TempDir dir;
    int failures = 0;
    for (const auto& [what, bytes] : variants) {
        const std::string path = dir.path() + "/damaged.mdb";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        if (const auto error = readEverything(path)) {
            ++failures;
            EXPECT_FALSE(std::string(error->what()).empty()) << what;
        }
    }
    // At least every file cut short before its catalog must have failed.
    EXPECT_GE(failures, 3);
}

}  // namespace
}  // namespace malvorn::jet
