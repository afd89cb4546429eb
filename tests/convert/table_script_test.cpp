#include "convert/table_script.h"
#include "convert/safe_script.h"
#include "convert/script_text.h"

#include <gtest/gtest.h>

#include "encoding/cp932.h"
#include "support/shohin.h"

namespace malvorn::convert {
namespace {

using encoding::Cp932;
using namespace model;

JetFieldDef field(std::string name, std::int16_t type, std::int32_t size = 0,
                  bool allowZeroLength = false, std::string defaultValue = "") {
    return {std::move(name), type, size, allowZeroLength, std::move(defaultValue)};
}

const TableScriptOptions kOptions{"indx", "users", false};
const ScriptDate kDate{2001, 2, 3};

// Column text of a one-field table: what follows prefix and padded name on line 7.
std::string columnText(const JetFieldDef& f) {
    const ScriptLines script = fMakeTableSQL({"T", {f}, std::nullopt}, kOptions, kDate);
    return Cp932::toUtf8(Cp932::fromUtf8(script[7]).substr(32));
}

// The file byte for byte (CP932, CRLF, ";"); the server gets the lines past the
// comment box, each ended by CR alone, UTF-8, no ";".
TEST(TableScript, WorkedExampleFileAndStatementForms) {
    const char* const body[] = {
        "CREATE TABLE SHOHIN",
        "(CODE                           VARCHAR2(10)        NOT NULL",
        ",NAME                           VARCHAR2(50)",
        ",PRICE                          NUMBER(19,4)        DEFAULT 0",
        ",QTY                            NUMBER(10)",
        ",UPD                            DATE",
        ",CONSTRAINT pkSHOHIN PRIMARY KEY(CODE) USING INDEX TABLESPACE indx",
        ")"};
    std::string file =
        "/*-----------------------------------------------------------------------*/\r\n"
        "/* ﾃｰﾌﾞﾙ作成SQL　SHOHIN                                                  */\r\n"
        "/* Create Date : 2001/02/03                                              */\r\n"
        "/* Row Length + Over Head = 82 + 15 = 97 Bytes                           */\r\n"
        "/*-----------------------------------------------------------------------*/\r\n";
    std::string statement;
    for (const std::string line : body) {
        file += line + "\r\n";
        statement += line + "\r";
    }
    EXPECT_EQ(fMakeTableSQL(shohinTable(), kOptions, kDate).fileForm(),
              Cp932::fromUtf8(file + "TABLESPACE users;\r\n"));
    EXPECT_EQ(shohinStatement(), statement + "TABLESPACE users\r");
}

// The statement form and a script run from its file fold alike: a ";" in a
// literal of a default expression is data, not the end of the statement.
TEST(TableScript, SemicolonInADefaultLiteralReachesTheServer) {
    JetTableDef table = shohinTable();
    table.fields[4].defaultValue = "TO_DATE('2001;02','YYYY;MM');";
    const std::string statement = fMakeTableSQL(table, kOptions, kDate).statementForm();
    EXPECT_NE(statement.find("DEFAULT TO_DATE('2001;02','YYYY;MM')\r"), std::string::npos)
        << statement;
}

TEST(TableScript, EveryTypeCodeAndDefaultMapToTheColumnText) {
    const std::tuple<JetFieldDef, std::string> cases[] = {
        {field("F", kJetByte), "NUMBER(3)"},
        {field("F", kJetInteger), "NUMBER(5)"},
        {field("F", kJetLong), "NUMBER(10)"},
        {field("F", kJetCurrency), "NUMBER(19,4)"},
        {field("F", kJetSingle), "NUMBER"},
        {field("F", kJetDate), "DATE"},
        {field("F", kJetText, 255, true), "VARCHAR2(255)"},
        {field("F", kJetMemo, 0, true), "VARCHAR2(500)"},
        {field("F", kJetMemo, 0, false), "VARCHAR2(500)" + std::string(7, ' ') + "NOT NULL"},
        {field("F", kJetBoolean), "ERROR TYPE=1"},
        {field("F", kJetLong, 0, false, "0"), "NUMBER(10)          DEFAULT 0"},
        {field("F", kJetLong, 0, false, "=0"), "NUMBER(10)"},  // no plain value or expression
        {field("F", kJetDate, 0, false, " Now() "), "DATE                DEFAULT  Now() "},
        {field("F", kJetDate, 0, false, "   "), "DATE"},
        {field("F", kJetText, 5, true, "0"), "VARCHAR2(5)"}};  // a default never decorates text
    for (const auto& [field, expected] : cases)
        EXPECT_EQ(columnText(field), expected) << "type " << field.typeCode;
}

TEST(TableScript, NotNullSuppressionKeepsPadSpacesThatTheFileFormTrims) {
    JetTableDef table{
        "T", {field("A", kJetText, 10, false), field("C", kJetLong, 0, false, "0")}, std::nullopt};
    const ScriptLines script = fMakeTableSQL(table, {"indx", "users", true}, kDate);
    const std::string pad31 = std::string(30, ' ');
    EXPECT_EQ(script[7], "(A" + pad31 + "VARCHAR2(10)        ");
    EXPECT_EQ(script[8], ",C" + pad31 + "NUMBER(10)          DEFAULT 0");
    const std::string file = script.fileForm();
    EXPECT_EQ(file.find("NOT NULL"), std::string::npos);
    EXPECT_NE(file.find("(A" + pad31 + "VARCHAR2(10)\r\n"), std::string::npos);
}

TEST(TableScript, JapaneseAndFullWidthNamesAreNarrowedAndPaddedByBytes) {
    JetTableDef table{"商品",
                      {field("ＣＯＤＥ１", kJetText, 10, true), field("商品コード", kJetLong),
                       field("ｼｮｳﾋﾝﾒｲ", kJetText, 20, true),
                       // 16 kanji: 32 bytes, cut to 31 with the split kanji dropped
                       field("一二三四五六七八九十一二三四五六", kJetLong),
                       field("ABCDEFGHIJKLMNOPQRSTUVWXYZ01234567", kJetDate)},
                      JetIndexDef{"PrimaryKey", {"ＣＯＤＥ１", "商品コード"}}};
    const ScriptLines script = fMakeTableSQL(table, kOptions, kDate);
    EXPECT_EQ(script[7], "(CODE1" + std::string(26, ' ') + "VARCHAR2(10)");
    EXPECT_EQ(script[8], ",商品コード" + std::string(21, ' ') + "NUMBER(10)");
    EXPECT_EQ(script[9], ",ｼｮｳﾋﾝﾒｲ" + std::string(24, ' ') + "VARCHAR2(20)");
    EXPECT_EQ(script[10], ",一二三四五六七八九十一二三四五 NUMBER(10)");
    EXPECT_EQ(script[11], ",ABCDEFGHIJKLMNOPQRSTUVWXYZ01234DATE");
    EXPECT_EQ(script[12],
              ",CONSTRAINT PrimaryKey PRIMARY KEY(CODE1,商品コード) USING INDEX TABLESPACE indx");
}

TEST(TableScript, ConstraintNameAndKeys) {
    const std::string tail = " USING INDEX TABLESPACE ix";
    // constraintLine empty: no constraint line
    const std::tuple<std::optional<JetIndexDef>, std::string> cases[] = {
        {JetIndexDef{"PKKEY", {"A"}}, ",CONSTRAINT pkT PRIMARY KEY(A)" + tail},
        {JetIndexDef{"PrimaryKey", {"B", "A"}}, ",CONSTRAINT PrimaryKey PRIMARY KEY(B,A)" + tail},
        {std::nullopt, ""},
    };
    for (const auto& [index, constraintLine] : cases) {
        JetTableDef table{"T", {field("A", kJetLong), field("B", kJetLong)}, index};
        const ScriptLines script = fMakeTableSQL(table, {"ix", "ts", false}, kDate);
        ASSERT_EQ(script.count(), constraintLine.empty() ? 10u : 11u);
        EXPECT_EQ(script.count() == 11u ? script[9] : "", constraintLine);
    }
}

// The title is kept whole while it fits, else its start.
TEST(TableScript, HeaderLinesStayAt75BytesForAnyTitle) {
    const std::string jp = "受注明細テーブル二〇二六年十二月分の全件";  // 20 characters, 40 bytes
    const std::pair<std::string, std::string> cases[] = {
        {jp, jp + " "}, {"ABCDEFGHIJKLMNOPQRSTUVWXY", "ABCDEFGHIJKLMNOPQRSTUVWXY "}, {jp + jp, jp}};
    for (const auto& [name, shown] : cases) {
        JetTableDef table{name, {field("A", kJetLong)}, std::nullopt};
        const ScriptLines script = fMakeTableSQL(table, kOptions, {2026, 12, 6});
        for (std::size_t i = 1; i <= 5; ++i)
            EXPECT_TRUE(Cp932::byteWidth(script[i]) == 75u && script[i].ends_with("*/"))
                << name << " line " << i;
        EXPECT_NE(script[2].find(shown), std::string::npos) << name;
    }
}

// The header's row length: a wide table in full, unmapped types adding nothing.
TEST(TableScript, RowLengthOfWideTablesAndUnmappedFields) {
    const std::pair<JetTableDef, const char*> cases[] = {
        {{"W", std::vector<JetFieldDef>(255, field("M", kJetMemo, 0, true)), std::nullopt},
         "/* Row Length + Over Head = 127500 + 765 = 128,265 Bytes"},
        {{"T", {field("A", kJetBoolean), field("B", 11), field("C", kJetByte)}, std::nullopt},
         "/* Row Length + Over Head = 2 + 3 = 5 Bytes"}};
    for (const auto& [table, line] : cases) {
        const ScriptLines script = fMakeTableSQL(table, kOptions, kDate);
        EXPECT_EQ(script[4], boxedCommentLine(line));
        EXPECT_EQ(script.count(), 8u + table.fields.size());
    }
}

TEST(PadBytes, PadsOrCutsToExactByteWidth) {
    const std::tuple<const char*, std::size_t, std::string> cases[] = {
        {"表名", 31, "表名" + std::string(27, ' ')},
        {"ABC", 2, "AB"},
        {"", 3, "   "},
        {"ｺｰﾄﾞ", 6, "ｺｰﾄﾞ  "},
        {"ABC", 0, ""},
        // the cut falls inside 品: its lead byte is replaced by a space
        {"商品", 3, "商 "},
        {"A商品", 2, "A "},
        // no CP932 form: shown and counted as "?"
        {"a😀b", 5, "a?b  "},
    };
    for (const auto& [text, width, expected] : cases)
        EXPECT_EQ(PadBytes(text, width), expected) << text << " / " << width;
}

TEST(NarrowName, OnlyFullWidthLatinDigitsAndLowLineNarrow) {
    const std::pair<const char*, const char*> cases[] = {
        {"ＣＯＤＥ１", "CODE1"},
        {"ａｚＡＺ０９＿", "azAZ09_"},
        {"商品コード", "商品コード"},
        {"ｺｰﾄﾞ", "ｺｰﾄﾞ"},
        {"Ａ－Ｂ　Ｃ", "A－B　C"},  // full-width hyphen and ideographic
                                    // space stay
        {"＠［｀｛", "＠［｀｛"},   // the neighbours of the ranges stay
    };
    for (const auto& [name, narrow] : cases)
        EXPECT_EQ(fNarrowName(name), narrow) << name;
}

TEST(ScriptText, DateGroupingFileBytesAndTrim) {
    EXPECT_EQ(formatScriptDate({2001, 2, 3}), "2001/02/03");
    const std::pair<std::int64_t, const char*> groups[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {33024, "33,024"}, {1234567, "1,234,567"},
    };
    for (const auto& [value, text] : groups)
        EXPECT_EQ(formatGrouped(value), text);
    EXPECT_EQ(toScriptFileBytes({"表", "", "a"}), "\x95\x5C\r\n\r\na\r\n");
    EXPECT_EQ(trimSpaces("  a b  "), "a b");
    EXPECT_EQ(trimSpaces("　a　"), "　a　");  // the ideographic space is not a space here
}

TEST(SafeNames, QuotedOnlyWhenOracleCannotTakeTheNameUnquoted) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"Customers", "Customers", "CUSTOMERS"},
        {"Order Details", "\"Order Details\"", "Order Details"},
        {"Date", "\"Date\"", "Date"},
        {"2nd", "\"2nd\"", "2nd"},
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
    table.fields = {field("Order ID", kJetLong, 0, false, "=0"),
                    field("Date", kJetDate, 0, false, "Now()"),
                    field("Flag", kJetBoolean, 0, false, "Yes"),
                    field("名前", kJetText, 10, false, "\"x\""),
                    field("Memo", kJetMemo),
                    field("Price", kJetCurrency, 0, false, "0"),
                    amount,
                    field("Guid", 15, 0, false, "GenGUID()"),
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
