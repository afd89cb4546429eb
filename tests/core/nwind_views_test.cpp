// The saved queries of the engine-written nwind.mdb as views on the local
// server, their rows checked against answers worked out from the tables'
// rows outside the program: the rows as mdb-export (mdbtools) prints them,
// summed and counted by a short script and by hand. Discount is taken as
// the decimal the migration carries (0.05, not the Single's 0.0500000007);
// the orders picked give the same subtotals either way.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/local_migrate_test.h"

namespace malvorn::core {
namespace {

using localserver::Rows;

struct ViewRowsCase {
    const char* query;
    Rows expected;
};

// One migration of nwind for both checks: it is the slow part.
class NwindViews : public LocalMigrateTest {
  protected:
    void SetUp() override {
        const std::string nwind =
            (std::filesystem::path(MALVORN_REAL_FIXTURES) / "nwind.mdb").string();
        if (!std::filesystem::exists(nwind))
            GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES;
        LocalMigrateTest::SetUp();
        MigrateFields fields;
        fields.oracleSafe = true;
        fields.verify = true;
        outcome_ = migrateFile(nwind, fields);
    }

    Outcome outcome_ = Outcome::kFailed;
};

// Every SELECT and UNION query without parameters is a view, with the rows
// counted from the tables: 77 products of which 8 are discontinued; 91
// customers and 29 suppliers, no line the same; 830 orders, 21 of them not
// shipped; 2,155 order lines, each with its product, order, customer,
// employee and shipper.
const std::map<std::string, std::int64_t> kCounted = {
    {"Alphabetical List of Products", 69},
    {"Catalog", 69},
    {"Current Product List", 69},
    {"Products by Category", 69},
    {"Customers and Suppliers by City", 120},
    {"Invoices", 2155},
    {"Order Details Extended", 2155},
    {"Order Subtotals", 830},  // the distinct OrderIDs of Order Details
    {"Orders Qry", 830},
    {"Summary of Sales by Quarter", 809},
    {"Summary of Sales by Year", 809},
    // Products priced above the mean of the 77 prices, 28.8664.
    {"Products Above Average Price", 25},
    {"Ten Most Expensive Products", 10},  // the 10th (45.60) and 11th (43.90) differ
    // Orders placed in 1995 have 84 distinct customers; every product
    // was ordered in 1995 and shipped in 1995 at least once.
    {"Quarterly Orders", 84},
    {"Sales by Category", 77},
    {"Product Sales for 1995", 77},
    {"Category Sales for 1995", 8},
    // Orders shipped in 1995 whose subtotal (below) exceeds 2,500.
    {"Sales Totals by Amount", 61},
};

TEST_F(NwindViews, EverySavedQueryWithoutParametersIsAViewWithItsRows) {
    ASSERT_EQ(outcome_, Outcome::kDone);
    std::size_t created = 0, leftOut = 0;
    for (const auto& view : report_.views) {
        if (view.status == ViewStatus::kLeftOut) {
            ++leftOut;
            continue;
        }
        EXPECT_EQ(view.status, ViewStatus::kCreated) << view.query << ": " << view.reason;
        ASSERT_TRUE(kCounted.count(view.query)) << view.query;
        EXPECT_EQ(view.rows, std::optional<std::int64_t>(kCounted.at(view.query))) << view.query;
        ++created;
    }
    EXPECT_EQ(created, kCounted.size());
    // Two parameter queries, one reading a form, one crosstab.
    EXPECT_EQ(leftOut, 4u);

    // The rows of some, as answers worked out from the tables.
    const ViewRowsCase cases[] = {
        // Order Subtotals: the sum over an order's lines of UnitPrice *
        // Quantity * (1 - Discount), each line rounded to a hundredth of a
        // cent. 10248: 14*12 + 9.8*10 + 34.8*5 = 440. 10250: 7.7*10 +
        // 42.4*35*0.85 + 16.8*15*0.85 = 77 + 1261.4 + 214.2. 10260: 7.7*16*0.75
        // + 15.6*50 + 39.4*15*0.75 + 12*21*0.75 = 92.4 + 780 + 443.25 + 189.
        // 10865, the largest: 263.5*60*0.95 + 18*80*0.95 = 15019.5 + 1368.
        {.query = "SELECT OrderID, Subtotal FROM \"Order Subtotals\" WHERE OrderID IN "
                  "(10248, 10250, 10260, 10865) ORDER BY 1",
         .expected = {"10248|440", "10250|1552.6", "10260|1504.65", "10865|16387.5"}},
        // Current Product List: Discontinued = No, so none of the eight
        // discontinued products (ids 5 9 17 24 28 29 42 53); the first and
        // last names in sort order of the 69 left.
        {.query = "SELECT COUNT(*) FROM \"Current Product List\" WHERE ProductID IN "
                  "(5, 9, 17, 24, 28, 29, 42, 53)",
         .expected = {"0"}},
        {.query = "SELECT MIN(ProductName), MAX(ProductName) FROM \"Current Product List\"",
         .expected = {"Aniseed Syrup|Zaanse koeken"}},
        // Products Above Average Price: the mean of the 77 prices is
        // 2222.71 / 77 = 28.8664; the dearest and the three cheapest above it.
        {.query = "SELECT ProductName, UnitPrice FROM \"Products Above Average Price\" "
                  "WHERE UnitPrice > 250 OR UnitPrice < 32 ORDER BY UnitPrice DESC",
         .expected = {"Côte de Blaye|263.5", "Gumbär Gummibärchen|31.23", "Ikura|31",
                      "Uncle Bob's Organic Dried Pears|30"}},
        // Customers and Suppliers by City: London's six customers and one
        // supplier.
        {.query = "SELECT CompanyName, Relationship FROM \"Customers and Suppliers by City\" "
                  "WHERE City = 'London' ORDER BY CompanyName",
         .expected = {"Around the Horn|Customers", "B's Beverages|Customers",
                      "Consolidated Holdings|Customers", "Eastern Connection|Customers",
                      "Exotic Liquids|Suppliers", "North/South|Customers",
                      "Seven Seas Imports|Customers"}},
        // Ten Most Expensive Products: Products sorted by price, the first ten.
        {.query = "SELECT TenMostExpensiveProducts, UnitPrice FROM \"Ten Most Expensive "
                  "Products\" ORDER BY UnitPrice DESC",
         .expected = {"Côte de Blaye|263.5", "Thüringer Rostbratwurst|123.79", "Mishi Kobe Niku|97",
                      "Sir Rodney's Marmalade|81", "Carnarvon Tigers|62.5",
                      "Raclette Courdavault|55", "Manjimup Dried Apples|53", "Tarte au sucre|49.3",
                      "Ipoh Coffee|46", "Rössle Sauerkraut|45.6"}},
        // Category Sales for 1995: the lines of orders shipped in 1995, each
        // rounded as in the subtotals, summed per product's category.
        {.query = "SELECT CategoryName, CategorySales FROM \"Category Sales for 1995\" "
                  "ORDER BY 1",
         .expected = {"Beverages|104737.71", "Condiments|50952.67", "Confections|78128.8",
                      "Dairy Products|117797.21", "Grains/Cereals|52902.38",
                      "Meat/Poultry|80160.15", "Produce|47491.57", "Seafood|62435.02"}},
        // Sales Totals by Amount: the largest of the 61, order 10417.
        {.query = "SELECT OrderID, SaleAmount FROM \"Sales Totals by Amount\" WHERE SaleAmount "
                  "> 10400 ORDER BY 2 DESC",
         .expected = {"10417|11188.4", "10479|10495.6"}},
        // Sales by Category: Chai's lines in orders placed in 1995.
        {.query = "SELECT ProductSales FROM \"Sales by Category\" WHERE ProductName = 'Chai'",
         .expected = {"5070.6"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rows(*scott_, c.query), c.expected) << c.query;
}

}  // namespace
}  // namespace malvorn::core
