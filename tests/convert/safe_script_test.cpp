#include "convert/safe_script.h"

#include <gtest/gtest.h>

namespace malvorn::convert {
namespace {

using namespace model;

JetFieldDef field(std::string name, std::int16_t type, std::int32_t size = 0,
                  std::string defaultValue = "") {
    return {std::move(name), type, size, false, std::move(defaultValue)};
}

TEST(SafeNames, QuotedOnlyWhenOracleCannotTakeTheNameUnquoted) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Customers", "Customers", "CUSTOMERS"},
        {"Order Details", "\"Order Details\"", "Order Details"},
        {"Date", "\"Date\"", "Date"},
        {"level", "\"level\"", "level"},
        {"2nd", "\"2nd\"", "2nd"},
        {"_x", "\"_x\"", "_x"},
        {"Unit$#_1", "Unit$#_1", "UNIT$#_1"},
        {"a-b", "\"a-b\"", "a-b"},
        {"商品コード", "商品コード", "商品コード"},
        {"ＣＯＤＥ", "CODE", "CODE"},
        {"商品　名", "\"商品　名\"", "商品　名"},
        {"Umsätze", "Umsätze", "UMSÄTZE"},
    };
    for (const auto& [jet, written, dictionary] : cases) {
        EXPECT_EQ(oracleName(jet), written) << jet;
        EXPECT_EQ(dictionaryName(jet), dictionary) << jet;
    }
    EXPECT_TRUE(isPlainOracleName(std::string(128, 'a')));
    EXPECT_FALSE(isPlainOracleName(std::string(129, 'a')));
}

TEST(SafeNames, ConstraintNamesAreValidAndUniqueInTheSchema) {
    ConstraintNames names;
    names.reserve("PKORDERS");
    const std::string longName(130, 'T');
    const std::tuple<const char*, std::string, const char*> cases[] = {
        {"PrimaryKey", "Customers", "pkCustomers"},
        {"PRIMARYKEY", "Customers", "pkCustomers_2"},
        {"pkkey", "Orders", "pkOrders_2"},  // PKORDERS is held by the schema
        {"Primary Key", "Order Details", "pkOrder_Details"},
        {"ByCity", "Customers", "ByCity"},
        {"bycity", "Suppliers", "pkSuppliers"},
        {"PrimaryKey", longName, nullptr},
    };
    for (const auto& [index, table, expected] : cases)
        EXPECT_EQ(names.take(index, table), expected ? expected : "pk" + std::string(126, 'T'))
            << index;
}

TEST(SafeScript, EveryTypeQuotedNamesKeyAndDefaultsWholeText) {
    const JetFieldDef amount{"Amount", 20, 0, false, "", 12, 3};
    JetTableDef table;
    table.name = "Order Details";
    table.fields = {field("Order ID", kJetLong, 0, "=0"),
                    field("Date", kJetDate, 0, "Now()"),
                    field("Flag", kJetBoolean, 0, "Yes"),
                    field("名前", kJetText, 10, "\"x\""),
                    field("Memo", kJetMemo),
                    field("Price", kJetCurrency, 0, "0"),
                    amount,
                    field("Guid", 15, 0, "GenGUID()"),
                    field("Bytes", 9, 16),
                    field("Picture", 11),
                    field("Big", kJetBigInt),
                    field("Stamp", kJetDateTimeExtended)};
    table.firstIndex = JetIndexDef{"ByDate", {"Date"}};
    table.primaryIndex = JetIndexDef{"PrimaryKey", {"Order ID", "Flag"}};
    ConstraintNames names;
    const SafeScript safe = makeSafeTableSQL(table, {"indx", "users", false}, {2024, 5, 6}, names);
    std::string text;
    for (std::size_t i = 6; i <= safe.script.count(); ++i)
        text += safe.script[i] + "\n";
    EXPECT_EQ(text,
              "CREATE TABLE \"Order Details\"\n"
              "(\"Order ID\"                     NUMBER(10)          DEFAULT 0\n"
              ",\"Date\"                         DATE                DEFAULT SYSDATE\n"
              ",Flag                           NUMBER(1)           DEFAULT -1\n"
              ",名前                           VARCHAR2(10 CHAR)\n"
              ",Memo                           CLOB\n"
              ",Price                          NUMBER(19,4)        DEFAULT 0\n"
              ",Amount                         NUMBER(12,3)\n"
              ",Guid                           VARCHAR2(38)\n"
              ",Bytes                          RAW(16)\n"
              ",Picture                        BLOB\n"
              ",Big                            NUMBER(19)\n"
              ",Stamp                          TIMESTAMP(7)\n"
              ",CONSTRAINT pkOrder_Details PRIMARY KEY(\"Order ID\",Flag) USING INDEX "
              "TABLESPACE indx\n"
              ")\n"
              "TABLESPACE users;\n");
    EXPECT_EQ(safe.notes, (std::vector<std::string>{"名前 の既定値 \"x\" は省きました",
                                                    "Guid の既定値 GenGUID() は省きました"}));
    // The header is the window's own.
    const ScriptLines window = fMakeTableSQL(table, {"indx", "users", false}, {2024, 5, 6});
    for (const std::size_t line : {1, 2, 3, 5})
        EXPECT_EQ(safe.script[line], window[line]);
}

}  // namespace
}  // namespace malvorn::convert
