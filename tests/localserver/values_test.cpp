#include <gtest/gtest.h>

#include <cstdio>

#include "localserver/values.h"
#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

TEST(Numbers, TextReadsAsTheServerReadsIt) {
    // Formatted back, or "" for not a number.
    const std::pair<const char*, const char*> cases[] = {
        {" -5 ", "-5"}, {".5", "0.5"}, {"1E3", "1000"}, {"2.50", "2.5"}, {"-0", "0"},
        {"abc", ""},    {"1,000", ""}, {"1e", ""},      {"0x10", ""},    {".", ""}};
    for (const auto& [text, expected] : cases) {
        const auto number = parseNumber(text);
        EXPECT_EQ(number ? formatNumber(*number) : std::string(), expected) << text;
    }
}

Number number(const char* text) {
    return *Number::parse(text);
}

// A column as CREATE TABLE declares it.
ColumnDef declared(const char* name, const char* type, int charLength = 0,
                   bool charSemantics = false, std::optional<int> precision = {},
                   std::optional<int> scale = {}) {
    return {name, type, 0, precision, scale, charLength, charSemantics, true, ""};
}

// What `value` gives as text, or the ORA code it fails with.
std::string textOrCode(const std::function<std::string()>& value) {
    std::string got;
    const std::string code = ServerTest::oraCode([&] { got = value(); });
    return code.empty() ? got : code;
}

TEST(Numbers, ArithmeticIsExactToFortyDigits) {
    const std::tuple<const char*, char, const char*, const char*> cases[] = {
        {"0.1", '+', "0.2", "0.3"},
        {"922337203685477.5807", '+', "0.0001", "922337203685477.5808"},
        {"1", '-', "1.000000000000000000000000000000000000001", "0"},  // 40 digits: rounded
        {"2", '/', "3", "0.6666666666666666666666666666666666666667"},
        {"7.5", '%', "-2", "1.5"},
        {"1E-100", '*', "1E-100", "0"}};
    for (const auto& [left, op, right, expected] : cases) {
        const Number a = number(left), b = number(right);
        const Number got = op == '+'   ? a + b
                           : op == '-' ? a - b
                           : op == '*' ? a * b
                           : op == '/' ? a / b
                                       : Number::mod(a, b);
        EXPECT_EQ(got.text(), expected) << left << op << right;
    }
    EXPECT_EQ(ServerTest::oraCode([] { number("1E100") * number("1E100"); }), "ORA-01426");
    EXPECT_EQ(ServerTest::oraCode([] { number("1") / Number(); }), "ORA-01476");
}

TEST(Numbers, PrecisionAndScaleAreEnforcedAfterRounding) {
    // expected: stored value, or the ORA code
    const std::tuple<std::optional<int>, std::optional<int>, SqlValue, const char*> cases[] = {
        {19, 4, std::string("12.25555"), "12.2556"}, {3, 5, std::string("0.012"), "ORA-01438"},
        {5, 2, std::string("1.005"), "1.01"},  // decimal rounding, not binary
        {5, 2, std::string("999.995"), "ORA-01438"}, {10, 0, std::string("2.5"), "3"},
        {2, -2, std::string("1234"), "1200"},        {10, 0, std::string("abc"), "ORA-01722"}};
    for (const auto& [precision, scale, input, expected] : cases) {
        const ColumnDef column = declared("N", "NUMBER", 0, false, precision, scale);
        const ColumnTarget target{"S", "T", &column, false};
        EXPECT_EQ(textOrCode([&] { return formatNumber(coerceForColumn(target, input)); }),
                  expected)
            << formatNumber(input);
    }
}

TEST(Text, LengthsCountBytesOfUtf8OrCharacters) {
    const std::tuple<const char*, int, bool, const char*, const char*> cases[] = {
        {"VARCHAR2", 10, false, "ABCDEFGHIJK", "ORA-12899"},
        {"VARCHAR2", 10, false, "一二三四", "ORA-12899"},    // 12 bytes
        {"VARCHAR2", 10, true, "一二三四五六七八九十", ""},  // 10 characters
        {"VARCHAR2", 10, true, "一二三四五六七八九十一", "ORA-12899"},
        {"NVARCHAR2", 3, true, "表名三", ""},
        // Malformed UTF-8: each byte that is no whole character counts as one.
        {"VARCHAR2", 2, true, "\x80\x80\x80", "ORA-12899"}};
    for (const auto& [type, length, charSemantics, value, expected] : cases) {
        const ColumnDef column = declared("C", type, length, charSemantics);
        const ColumnTarget target{"SCOTT", "T", &column, false};
        EXPECT_EQ(ServerTest::oraCode([&] { coerceForColumn(target, std::string(value)); }),
                  expected)
            << value;
    }
    const ColumnDef column = declared("C", "VARCHAR2", 10);
    const ColumnTarget target{"SCOTT", "T", &column, false};
    EXPECT_EQ(
        ServerTest::errorText([&] { coerceForColumn(target, std::string("一二三四")); }),
        "ORA-12899: value too large for column \"SCOTT\".\"T\".\"C\" (actual: 12, maximum: 10)");
    // A number stored as text takes its plain decimal form.
    EXPECT_EQ(std::get<std::string>(coerceForColumn(target, number("12.5"))), "12.5");
}

TEST(Text, EmptyTextIsNullAndNotNullColumnsRefuseBoth) {
    ColumnDef column = declared("CODE", "VARCHAR2", 10);
    column.nullable = false;
    const ColumnTarget insert{"SCOTT", "SHOHIN", &column, false};
    EXPECT_EQ(ServerTest::errorText([&] { coerceForColumn(insert, std::string()); }),
              "ORA-01400: cannot insert NULL into (\"SCOTT\".\"SHOHIN\".\"CODE\")");
    column.nullable = true;
    EXPECT_TRUE(std::holds_alternative<std::monostate>(coerceForColumn(insert, std::string())));
}

TEST(Dates, LiteralsInTheDefaultFormat) {
    const std::pair<const char*, const char*> cases[] = {
        {"2001-02-03", "2001-02-03 00:00:00"}, {"2001-02-03 10:30:15", "2001-02-03 10:30:15"},
        {"2000-02-29", "2000-02-29 00:00:00"}, {"2001-02-29", "ORA-01839"},
        {"1900-02-29", "ORA-01839"},           {"2001-13-01", "ORA-01843"},
        {"2001-02/03", "ORA-01861"},           {"0000-01-01", "ORA-01841"}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(textOrCode([&] { return formatStoredDate(parseDateLiteral(text)); }), expected)
            << text;
    }
}

// A date stored straight from its parts gives what its literal gives: the
// same stored text or the same error; where the stored form cannot write a
// field in full, or the column is no DATE, the literal decides (nullopt).
TEST(Dates, PartsStoredDirectlyAsTheirLiteralWouldBe) {
    const struct {
        DateTime date;
        bool direct;
    } cases[] = {{{2001, 2, 3, 12, 30, 15}, true},   {{2000, 2, 29, 0, 0, 0}, true},
                 {{2001, 2, 29, 0, 0, 0}, true},     {{0, 1, 1, 0, 0, 0}, true},
                 {{2001, 13, 1, 0, 0, 0}, true},     {{2001, 1, 1, 24, 0, 0}, true},
                 {{2001, 1, 1, 0, 60, 0}, true},     {{2001, 1, 1, 0, 0, 60}, true},
                 {{9999, 12, 31, 23, 59, 59}, true}, {{10000, 1, 1, 0, 0, 0}, false},
                 {{-1, 1, 1, 0, 0, 0}, false},       {{2001, 100, 1, 0, 0, 0}, false}};
    const ColumnDef date = declared("D", "DATE");
    const ColumnTarget target{"S", "T", &date, false};
    for (const auto& c : cases) {
        const std::string literal = formatStoredDate(c.date);
        const std::string viaLiteral =
            textOrCode([&] { return std::get<std::string>(coerceForColumn(target, literal)); });
        std::optional<std::string> direct;
        const std::string code = ServerTest::oraCode([&] {
            if (const auto stored = storedDateFor(ColumnKind::kDate, c.date))
                direct = std::get<std::string>(*stored);
        });
        EXPECT_EQ(direct.has_value() || !code.empty(), c.direct) << literal;
        if (c.direct) {
            EXPECT_EQ(code.empty() ? *direct : code, viaLiteral) << literal;
        }
        EXPECT_FALSE(storedDateFor(ColumnKind::kCharacter, c.date)) << literal;
    }
}

TEST(Dates, ToDateReadsTheUsualFormatElements) {
    const std::tuple<const char*, const char*, std::string> cases[] = {
        {"2001-02-03", "YYYY-MM-DD", "2001-02-03 00:00:00"},
        {"2001/02/03 10:30:15", "yyyy/mm/dd hh24:mi:ss", "2001-02-03 10:30:15"},
        {"03-FEB-2001", "DD-MON-YYYY", "2001-02-03 00:00:00"},
        {"2001-02-03 01:05 PM", "YYYY-MM-DD HH:MI AM", "2001-02-03 13:05:00"},
        {"2001年02月03日", "YYYY\"年\"MM\"月\"DD\"日\"", "2001-02-03 00:00:00"},
        {"49-01-01", "RR-MM-DD", "2049-01-01 00:00:00"},
        {"99-01-01", "RR-MM-DD", "1999-01-01 00:00:00"},
        {"2001-AB-03", "YYYY-MM-DD", "ORA-01858"},
        {"2001-02-03", "YYYY-MM-QQ", "ORA-01821"}};
    for (const auto& [text, format, expected] : cases) {
        EXPECT_EQ(textOrCode([&] { return formatStoredDate(parseDateWithFormat(text, format)); }),
                  expected)
            << text << " / " << format;
    }
}

TEST(Dates, ToCharWritesTheSameElements) {
    const DateTime d{2001, 2, 3, 13, 5, 9};
    const std::pair<const char*, const char*> cases[] = {
        {"YYYY-MM-DD HH24:MI:SS", "2001-02-03 13:05:09"},
        {"HH:MI PM", "01:05 PM"},
        {"YYYY\"年\"", "2001年"}};
    for (const auto& [format, expected] : cases)
        EXPECT_EQ(formatDateWithFormat(d, format), expected) << format;
}

// A date's stored text written digit by digit is what printf writes, at the
// ends of each field's range and past them.
std::string printed(const DateTime& d) {
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second);
    return text;
}

TEST(StoredDateText, IsWhatPrintfWrites) {
    const struct {
        const char* what;
        DateTime date;
    } cases[] = {
        {"first day", {1, 1, 1, 0, 0, 0}},
        {"last second", {9999, 12, 31, 23, 59, 59}},
        {"each digit differs", {1234, 5, 6, 7, 8, 9}},
        {"two-digit fields", {2010, 10, 20, 10, 30, 50}},
        {"zero year", {0, 0, 0, 0, 0, 0}},
        {"largest two digits", {99, 99, 99, 99, 99, 99}},
        {"five-digit year", {10000, 1, 1, 0, 0, 0}},
        {"negative year", {-1, 1, 1, 0, 0, 0}},
        {"three-digit month", {2001, 100, 1, 0, 0, 0}},
        {"negative second", {2001, 1, 1, 0, 0, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        // Written over what the string held: longer, shorter, or as long.
        for (const char* before : {"left over from the value before", "", "ABCDEFGHIJKLMNOPQRS"}) {
            std::string out = before;
            formatStoredDateInto(c.date, out);
            EXPECT_EQ(out, printed(c.date)) << before;
        }
        EXPECT_EQ(formatStoredDate(c.date), printed(c.date));
    }
}

}  // namespace
}  // namespace malvorn::localserver
