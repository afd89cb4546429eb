// The saved queries: the catalog rows written by the test builder and by the
// engine itself, read both ways, decoded, and their Access SQL rebuilt.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "built_files.h"
#include "convert/access_sql_text.h"
#include "jet/query_catalog.h"
#include "support/command.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;

using namespace malvorn::testing;
using model::QueryKind;

JetBuildTable productsTable() {
    return {.name = "Products",
            .fields = {{.name = "ProductID", .type = 4}, {.name = "UnitPrice", .type = 5}},
            .rows = {{std::int64_t{1}, std::int64_t{100000}}}};
}

// Three queries in rows as the engine writes them: a select with a join,
// criteria, an alias, TOP and a descending order; a union without ALL; a
// parameter query. Written in an order other than their names'.
std::vector<JetBuildQuery> builtQueries() {
    return {
        {.name = "Top Two",
         .rows = {{.attribute = 0},
                  {.attribute = 1, .flag = 1},
                  {.attribute = 3, .flag = 0x18, .name1 = "2"},
                  {.attribute = 5, .name1 = "Products"},
                  {.attribute = 5, .name1 = "Order Lines", .name2 = "OL"},
                  {.attribute = 6, .expression = "Products.ProductID", .flag = 0, .name1 = "Id"},
                  {.attribute = 6, .expression = "OL.Quantity", .flag = 0},
                  {.attribute = 7,
                   .expression = "Products.ProductID = OL.ProductID",
                   .flag = 2,
                   .name1 = "Products",
                   .name2 = "OL"},
                  {.attribute = 8, .expression = "(((Products.UnitPrice)>5))"},
                  {.attribute = 11, .expression = "Products.UnitPrice", .name1 = "D"},
                  {.attribute = 255}}},
        {.name = "Both Lists",
         .catalogFlags = 128,
         .rows = {{.attribute = 1, .flag = 9},
                  {.attribute = 3, .flag = 3},
                  {.attribute = 5, .expression = "SELECT A FROM T\r\n", .name2 = "X7YZ_____1"},
                  {.attribute = 5, .expression = "SELECT B FROM U", .name2 = "X7YZ_____2"},
                  {.attribute = 11, .expression = "A"}}},
        {.name = "asked",
         .rows = {{.attribute = 1, .flag = 1},
                  {.attribute = 2, .flag = 8, .name1 = "Since"},
                  {.attribute = 5, .name1 = "Products"},
                  {.attribute = 6, .expression = "Products.*", .flag = 0},
                  {.attribute = 8, .expression = "Products.Added>=[Since]"},
                  {.attribute = 42, .expression = "?"}}},
    };
}

using QueryCatalogFiles = BuiltFiles;
INSTANTIATE_TEST_SUITE_P(Ways, QueryCatalogFiles, bothWays(), wayName);

// A file without queries has none.
TEST_P(QueryCatalogFiles, BuiltQueriesReadAsWrittenAndRebuilt) {
    EXPECT_TRUE(build({productsTable()})->queryCatalog().empty());
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3}) {
        SCOPED_TRACE(version == JetVersion::kJet3 ? "Jet 3" : "Jet 4");
        const std::string path = dir_.path() + "/q" + std::to_string(int(version)) + ".mdb";
        writeJetFile(path, {productsTable()}, builtQueries(), version, 1252);
        const auto source = GetParam().open(path);
        // The query catalog is no user table.
        EXPECT_EQ(source->userTableNames(), std::vector<std::string>{"Products"});

        const auto catalog = source->queryCatalog();
        ASSERT_EQ(catalog.size(), 3u);
        EXPECT_EQ(
            std::tie(catalog[0].name, catalog[1].name, catalog[1].catalogFlags, catalog[2].name),
            std::tuple("asked", "Both Lists", 128u, "Top Two"));
        // A Flag never written stays null; one written as 0 is 0.
        ASSERT_EQ(catalog[2].rows.size(), 11u);
        EXPECT_FALSE(catalog[2].rows[0].flag.has_value());
        EXPECT_EQ(catalog[2].rows[5].flag, std::optional<std::int64_t>(0));

        const model::StoredQuery top = decodeStoredQuery(catalog[2]);
        EXPECT_EQ(top.kind, QueryKind::kSelect);
        EXPECT_EQ(convert::accessSqlText(top),
                  "SELECT DISTINCTROW TOP 2 Products.ProductID AS Id, OL.Quantity\n"
                  "FROM Products LEFT JOIN [Order Lines] AS OL ON Products.ProductID = "
                  "OL.ProductID\n"
                  "WHERE (((Products.UnitPrice)>5))\n"
                  "ORDER BY Products.UnitPrice DESC;");
        const model::StoredQuery both = decodeStoredQuery(catalog[1]);
        EXPECT_EQ(both.kind, QueryKind::kUnion);
        EXPECT_EQ(convert::accessSqlText(both),
                  "SELECT A FROM T\nUNION SELECT B FROM U\nORDER BY A;");
        const model::StoredQuery asked = decodeStoredQuery(catalog[0]);
        ASSERT_EQ(asked.parameters.size(), 1u);
        EXPECT_EQ(asked.parameters[0].name, "Since");
        EXPECT_EQ(asked.unknownAttributes, std::vector<int>{42});
        EXPECT_EQ(convert::accessSqlText(asked),
                  "PARAMETERS [Since] DateTime;\nSELECT Products.*\nFROM Products\n"
                  "WHERE Products.Added>=[Since];");
    }
}

TEST_P(QueryCatalogFiles, TheEngineWrittenQueriesOfNwind) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const auto catalog = GetParam().open(realFile("nwind.mdb"))->queryCatalog();
    ASSERT_EQ(catalog.size(), 22u);
    // Which are views and why the others are not: core's migrate_views_test.
    std::map<std::string, model::StoredQuery> byName;
    for (const auto& rows : catalog) {
        byName[rows.name] = decodeStoredQuery(rows);
        EXPECT_TRUE(byName[rows.name].unknownAttributes.empty()) << rows.name;
    }

    const struct {
        const char* query;
        const char* text;
    } cases[] = {
        {"Ten Most Expensive Products",
         "SELECT DISTINCTROW TOP 10 Products.ProductName AS TenMostExpensiveProducts, "
         "Products.UnitPrice\nFROM Products\nORDER BY Products.UnitPrice DESC;"},
        {"Current Product List",
         "SELECT [Product List].ProductID, [Product List].ProductName\n"
         "FROM Products AS [Product List]\n"
         "WHERE ((([Product List].Discontinued)=No))\n"
         "ORDER BY [Product List].ProductName;"},
        {"Order Subtotals",
         "SELECT DISTINCTROW [Order Details].OrderID, "
         "Sum(CCur([UnitPrice]*[Quantity]*(1-[Discount])/100)*100) AS Subtotal\n"
         "FROM [Order Details]\nGROUP BY [Order Details].OrderID;"},
        {"Quarterly Orders",
         "SELECT DISTINCTROW Customers.CustomerID, Customers.CompanyName, Customers.City, "
         "Customers.Country\n"
         "FROM Customers RIGHT JOIN Orders ON Customers.CustomerID = Orders.CustomerID\n"
         "WHERE (((Orders.OrderDate) Between #1/1/95# And #12/31/95#));"},
        {"Customers and Suppliers by City",
         "SELECT City, CompanyName, ContactName, \"Customers\" AS [Relationship] \n"
         "FROM Customers\n"
         "UNION SELECT City, CompanyName, ContactName, \"Suppliers\"\n"
         "FROM Suppliers\nORDER BY City, CompanyName;"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(convert::accessSqlText(byName[c.query]), c.text) << c.query;
    // Joins nest as the engine wrote them: the second join takes the first as
    // its right side.
    EXPECT_EQ(convert::accessFromClause(byName["Employee Sales by Country"]),
              "Employees INNER JOIN (Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = "
              "[Order Subtotals].OrderID) ON Employees.EmployeeID = Orders.EmployeeID");
}

TEST(QueryCommand, PrintsListsAndRefuses) {
    TempDir dir;
    const std::string path = dir.path() + "/q.mdb";
    writeJetFile(path, {productsTable()}, builtQueries());
    const CommandRun all = runProgram(MALVORN_CLI, {"queries", path});
    EXPECT_EQ(all.status, 0) << all.err;
    EXPECT_TRUE(all.out.starts_with("-- asked (選択クエリ)\nPARAMETERS [Since] DateTime;\n"))
        << all.out;
    EXPECT_THAT(all.out, HasSubstr("-- Top Two (選択クエリ)\nSELECT DISTINCTROW TOP 2"));
    EXPECT_THAT(all.err, HasSubstr("属性 42"));

    const CommandRun one = runProgram(MALVORN_CLI, {"queries", path, "both lists"});
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(one.out, "SELECT A FROM T\nUNION SELECT B FROM U\nORDER BY A;\n");

    const CommandRun missing = runProgram(MALVORN_CLI, {"queries", path, "Nothing"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("Nothing"));
    EXPECT_EQ(runProgram(MALVORN_CLI, {"queries", path, "--sql"}).status, 2);
    EXPECT_EQ(runProgram(MALVORN_CLI, {"queries"}).status, 2);
}

}  // namespace
}  // namespace malvorn::jet
