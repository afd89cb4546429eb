// Values at the edges of what a column takes, copied in batches of bound
// values and row by row into the local server: whole units at the ends of
// the integers and rounded to a column's scale, texts at exactly the
// column's length in characters and in bytes, and the refusals just past
// them. How the server rounds and fits a number from its units against its
// text: number_fit_test (localserver).
#include <gtest/gtest.h>

#include <climits>

#include "app/drivers.h"
#include "copy_fixture.h"

namespace malvorn::core {
namespace {

// The Jet file's T1 (see CopyFixture) copied into a T1 of the server's own
// column types.
class BulkEdges : public CopyFixture {
  protected:
    void SetUp() override {
        appUser();
        openSession_ = sessionOpener(app::defaultDrivers());
        server_ = openSession_({"scott", "tiger", folder()});
    }
    void dropT1IfThere() {
        try {
            server_->execute("DROP TABLE T1");
        } catch (const oracle::OracleError&) {
        }
    }
    Outcome copyInto(const std::vector<Row>& rows, std::size_t batch) {
        server_->execute("DELETE FROM T1");
        return copy(rows, {"T1", jetPath(), false, {"scott", "tiger", folder()}, batch});
    }
    Strings held(const std::string& columns) {
        return rows(*server_, "SELECT " + columns + " FROM T1 ORDER BY CODE");
    }

    std::unique_ptr<oracle::Session> server_;
};

// A row of T1 with the number and text fields given, the rest plain.
Row edgeRow(const std::string& code, const std::string& name, std::int64_t priceScaled,
            std::int64_t qty, double ratio, const std::string& note, bool ok = true) {
    return {code, name, priceScaled, qty, ratio, 36925.0, note, ok, V{}};
}

TEST_F(BulkEdges, ValuesAtTheColumnsLimitsAreStoredAsRowByRow) {
    const struct {
        const char* what;
        std::string columns;  // the server's T1
        std::vector<Row> rows;
        const char* shown;  // the columns held
        Strings held;
    } cases[] = {
        {"currency and long integers at their own limits",
         "CODE VARCHAR2(10), NAME VARCHAR2(10), PRICE NUMBER(19,4), QTY NUMBER(10), RATIO FLOAT, "
         "UPD DATE, NOTE CLOB, OK NUMBER(1), PIC BLOB",
         {edgeRow("A", "a", INT64_MAX, INT_MAX, 0.5, "n"),
          edgeRow("B", "b", INT64_MIN, INT_MIN, -0.5, "n", false),
          edgeRow("C", "c", -1, -1, 1e-5, "n")},
         "PRICE, QTY, OK",
         {"922337203685477.5807|2147483647|-1", "-922337203685477.5808|-2147483648|0",
          "-0.0001|-1|-1"}},
        // The only column of a negative scale the suite makes.
        {"currency rounded half away from zero to a smaller scale",
         "CODE VARCHAR2(10), NAME VARCHAR2(10), PRICE NUMBER(10,2), QTY NUMBER(10,-2), "
         "RATIO NUMBER(4,3), UPD DATE, NOTE CLOB, OK NUMBER(1), PIC BLOB",
         {edgeRow("A", "a", 123456750, 150, 0.0005, "n"),
          edgeRow("B", "b", -123456750, -150, -0.0005, "n"), edgeRow("C", "c", 49, 49, 9.9994, "n"),
          edgeRow("D", "d", -50, -49, -9.9985, "n")},
         "PRICE, QTY, RATIO",
         {"12345.68|200|0.001", "-12345.68|-200|-0.001", "0|0|9.999", "-0.01|0|-9.999"}},
        {"texts at exactly the length in characters and in bytes",
         "CODE VARCHAR2(2), NAME VARCHAR2(10 CHAR), PRICE NUMBER, QTY NUMBER, RATIO FLOAT, "
         "UPD DATE, NOTE VARCHAR2(12), OK NUMBER(1), PIC BLOB",
         {edgeRow("AB", kTen, 0, 0, 0, "日本語本"), edgeRow("Z", "ｱ", 0, 0, 0, "abcdefghijkl")},
         "CODE, NAME, LENGTHB(NAME), NOTE",
         {"AB|" + kTen + "|30|日本語本", "Z|ｱ|3|abcdefghijkl"}},
        {"CHAR padded, a number into a text column, a text of no length NULL",
         "CODE CHAR(3), NAME VARCHAR2(10), PRICE VARCHAR2(9), QTY NUMBER, RATIO FLOAT, "
         "UPD DATE, NOTE VARCHAR2(5), OK NUMBER(1), PIC BLOB",
         {edgeRow("A", "", 12345678, 1, 0, "x"), edgeRow("B", "b", -5000, 1, 0, "")},
         "'[' || CODE || ']', NVL(NAME, 'null'), PRICE, NVL(NOTE, 'null')",
         {"[A  ]|null|1234.5678|x", "[B  ]|b|-.5|null"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dropT1IfThere();
        server_->execute("CREATE TABLE T1 (" + c.columns + ")");
        ASSERT_EQ(copyInto(c.rows, 3), Outcome::kDone) << box();
        EXPECT_EQ(held(c.shown), c.held);
        const Strings bulk = held("*");
        ASSERT_EQ(copyInto(c.rows, 0), Outcome::kDone) << box();
        EXPECT_EQ(held("*"), bulk);
    }
}

// Just past a column's limit: refused with the row-by-row copy's report, the
// rows before it kept, nothing after.
TEST_F(BulkEdges, JustPastTheLimitIsRefusedAsRowByRow) {
    const std::string plain =
        "CODE VARCHAR2(3), NAME VARCHAR2(9 CHAR), PRICE NUMBER(6,2), QTY NUMBER(3), "
        "RATIO NUMBER(3,1), UPD DATE, NOTE VARCHAR2(12), OK NUMBER(1), PIC BLOB";
    const std::string error = "box ﾃﾞｰﾀｾｯﾄｴﾗｰ\rﾌﾟﾛｼｼﾞｬ：fCopyTableData\rｴﾗｰNo:-2147467259\r説 明:";
    const std::string source = "\rｴﾗｰｿｰｽ:Malvorn Local Server";
    const std::string precision =
        error + "ORA-01438: value larger than specified precision allowed for this column" + source;
    const auto tooLarge = [&](const char* column, int actual, int maximum) {
        return error + "ORA-12899: value too large for column \"SCOTT\".\"T1\".\"" + column +
               "\" (actual: " + std::to_string(actual) + ", maximum: " + std::to_string(maximum) +
               ")" + source;
    };
    const struct {
        const char* what;
        Row past;  // the third of four rows
        std::string report;
    } cases[] = {
        {"currency that rounds past the precision", edgeRow("C3", "c", 99999950, 1, 1, "n"),
         precision},
        {"a character too many", edgeRow("C3", kTen, 0, 1, 1, "n"), tooLarge("NAME", 10, 9)},
        {"a byte too many", edgeRow("C3", "c", 0, 1, 1, "日本語本a"), tooLarge("NOTE", 13, 12)},
        {"a key a byte too long", edgeRow("C300", "c", 0, 1, 1, "n"), tooLarge("CODE", 4, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        dropT1IfThere();
        server_->execute("CREATE TABLE T1 (" + plain + ")");
        const std::vector<Row> rows = {edgeRow("C1", "a", 1, 1, 1, "n"),
                                       edgeRow("C2", "b", 2, 2, 2, "n"), c.past,
                                       edgeRow("C4", "d", 4, 4, 4, "n")};
        for (const std::size_t batch : {std::size_t{4}, std::size_t{2}, std::size_t{0}}) {
            SCOPED_TRACE(batch);
            ASSERT_EQ(copyInto(rows, batch), Outcome::kFailed);
            EXPECT_EQ(codes(*server_, "T1"), "C1 C2");
            EXPECT_EQ(lastStatus(), "status 3 / 4");
            EXPECT_EQ(box(), c.report);
        }
    }
}

}  // namespace
}  // namespace malvorn::core
