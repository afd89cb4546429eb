// The reader and the Jet commands against files the engine itself wrote,
// for what only they show. The files are not part of the project: the tests
// skip when they are absent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "jet/complex_columns.h"
#include "support/command.h"
#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class RealFiles : public ::testing::TestWithParam<Way> {};

INSTANTIATE_TEST_SUITE_P(Ways, RealFiles, bothWays(), wayName);

TEST_P(RealFiles, FactsOnlyAnEngineWrittenFileShows) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    struct Case {
        const char* file;
        const char* table;
        std::size_t row;
        std::size_t column;
        const char* text;
    };
    const Case cases[] = {
        // Jet 3 text in the file's code page, 1252.
        {"nwind.mdb", "Orders", 0, 9, "Carrera 52 con Ave. Bolívar #65-98 Llano Largo"},
        // Jet 4 text the engine compressed, outside any single code page.
        {"unicode-v2003.mdb", "Table", 2, 1, "Мир"},
        {"unicode-v2003.mdb", "Table", 4, 1, "漢字仮名交じり文"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " " + c.table);
        const auto rows = allRows(*GetParam().open(realFile(c.file)), c.table);
        ASSERT_GT(rows.size(), c.row);
        EXPECT_EQ(rows[c.row].at(c.column), JetValue(std::string(c.text)));
    }

    // Stored column numbers from 1, positions from 0: keys go by position.
    const auto indexed = GetParam().open(realFile("index-v2000.mdb"))->readTable("Table1");
    ASSERT_TRUE(indexed.firstIndex.has_value());
    EXPECT_EQ(std::tie(indexed.firstIndex->name, indexed.firstIndex->fieldNames),
              std::tuple("id", std::vector<std::string>{"id"}));

    const auto types = GetParam().open(realFile("types-v2000.mdb"));
    const auto wide = types->readTable("Table2");
    ASSERT_EQ(wide.fields.size(), 89u);
    EXPECT_EQ(std::tie(wide.fields[88].typeCode, wide.fields[88].allowZeroLength),
              std::tuple(model::kJetText, true));
    const auto guids = types->readTable("Table4");
    const auto data = std::find_if(guids.fields.begin(), guids.fields.end(),
                                   [](const auto& f) { return f.name == "data"; });
    ASSERT_NE(data, guids.fields.end());
    EXPECT_EQ(data->typeCode, kJetGuidType);
}

// Whatever the reader now refuses or warns about, no engine-written file
// trips: every definition reads, every user table gives the rows it records
// (the engine's own MSysACEs in types-v2000.mdb gives 64 of 61).
TEST_P(RealFiles, EveryTableReadsWholeWithTheRowsItRecords) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    for (const char* file :
         {"nwind.mdb", "index-v2000.mdb", "types-v2000.mdb", "unicode-v2003.mdb"}) {
        const auto source = GetParam().open(realFile(file));
        for (const auto& name : source->tableNames()) {
            SCOPED_TRACE(std::string(file) + " " + name);
            EXPECT_NO_THROW(source->readTable(name));
            if (name.starts_with("MSys"))
                continue;
            auto rows = source->openRows(name);
            for (JetRow row; rows->next(row);) {
            }
            EXPECT_FALSE(rowCountDiffers(*rows))
                << rows->deliveredRowCount() << " of " << rows->recordedRowCount();
        }
    }
}

// nwind: 7 relationships (one cascading deletes, one updates), 24 indexes
// besides the keys (one unique), AutoNumber keys and descriptions; no
// complex columns in a Jet 4 file.
TEST_P(RealFiles, TheSampleDatabasesSchema) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const auto source = GetParam().open(realFile("nwind.mdb"));
    std::size_t secondary = 0, unique = 0;
    std::set<std::string> relationships;
    int cascadeDeletes = 0, cascadeUpdates = 0;
    for (const auto& table : source->userTableNames()) {
        const auto schema = source->readSchema(table);
        for (const auto& index : schema.indexes) {
            secondary += index.primary ? 0 : 1;
            unique += !index.primary && index.unique ? 1 : 0;
        }
        for (const auto& relationship : schema.relationships) {
            if (relationships.insert(relationship.name).second) {
                cascadeDeletes += relationship.cascadeDeletes() ? 1 : 0;
                cascadeUpdates += relationship.cascadeUpdates() ? 1 : 0;
            }
        }
    }
    EXPECT_EQ(std::tie(secondary, unique), std::tuple(24u, 1u));
    EXPECT_EQ(relationships.size(), 7u);
    EXPECT_EQ(std::tie(cascadeDeletes, cascadeUpdates), std::tuple(1, 1));

    const auto orders = source->readSchema("Orders");
    EXPECT_EQ(orders.description, "Customer name, order date, and freight charge for each order.");
    ASSERT_FALSE(orders.fields.empty());
    EXPECT_EQ(std::tie(orders.fields[0].name, orders.fields[0].autoIncrement,
                       orders.fields[0].description),
              std::tuple("OrderID", true, "Unique order number."));
    const auto details = source->readSchema("Order Details");
    const auto toOrders = std::find_if(
        details.relationships.begin(), details.relationships.end(),
        [](const auto& r) { return r.table == "Order Details" && r.referencedTable == "Orders"; });
    ASSERT_NE(toOrders, details.relationships.end());
    EXPECT_EQ(toOrders->columns, std::vector<std::string>{"OrderID"});
    EXPECT_THROW(source->readSchema("NoSuchTable"), JetError);
    EXPECT_TRUE(readComplexColumns(*GetParam().open(realFile("types-v2000.mdb"))).empty());
}

// Output form: one name a line; the script in CP932 with the options
// honoured; inserts ended by NUL under -z.
TEST(JetCommands, TablesScriptAndInsertsOfARealFile) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const std::string nwind = realFile("nwind.mdb");
    const CommandRun tables = runProgram(MALVORN_CLI, {"tables", nwind});
    EXPECT_EQ(tables.status, 0);
    EXPECT_TRUE(tables.out.starts_with("Categories\nCustomers\n")) << tables.out;
    EXPECT_TRUE(tables.out.ends_with("\nUmsätze\n")) << tables.out;

    const CommandRun script =
        runProgram(MALVORN_CLI, {"script", nwind, "Shippers", "--index-tablespace", "IX",
                                 "--no-not-null", "--date", "2026/01/02"});
    EXPECT_EQ(script.status, 0) << script.err;
    EXPECT_THAT(script.out, HasSubstr("/* Create Date : 2026/01/02"));
    EXPECT_THAT(script.out, HasSubstr("USING INDEX TABLESPACE IX\r\n"));
    EXPECT_THAT(script.out, Not(HasSubstr("NOT NULL")));
    // "ﾃｰﾌﾞﾙ作成SQL" in CP932: half-width kana are single bytes.
    EXPECT_THAT(script.out, HasSubstr("\xC3\xB0\xCC\xDE\xD9\x8D\xEC\x90\xAC"
                                      "SQL"));

    const CommandRun inserts = runProgram(MALVORN_CLI, {"inserts", "-z", nwind, "Shippers"});
    EXPECT_EQ(inserts.status, 0) << inserts.err;
    EXPECT_EQ(std::count(inserts.out.begin(), inserts.out.end(), '\0'), 3);
    EXPECT_TRUE(inserts.out.ends_with("'(503) 555-9931')" + std::string(1, '\0')));
    EXPECT_THAT(inserts.out, Not(HasSubstr("\n")));
}

// Help with options is the cli tests'; here, that asking for it succeeds,
// and the help of a command without options.
TEST(JetCommands, HelpOfACommand) {
    const CommandRun run = runProgram(MALVORN_CLI, {"tables", "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "使い方: malvorn-cli tables <データベース>\n"
              "    ユーザーテーブルの名前を1行に1つ出力します (MSys* "
              "と隠しシステムテーブルを除く)\n");
}

}  // namespace
}  // namespace malvorn::jet
