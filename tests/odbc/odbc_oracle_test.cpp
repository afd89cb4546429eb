// Runs only against a real Oracle data source named by MALVORN_ORACLE_DSN,
// with MALVORN_ORACLE_USER and MALVORN_ORACLE_PASSWORD; skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>

#include "odbc/odbc_session.h"
#include "oracle/existing_table.h"
#include "support/scripted_messages.h"

namespace malvorn::odbc {
namespace {

class RealOracle : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* dsn = std::getenv("MALVORN_ORACLE_DSN");
        const char* user = std::getenv("MALVORN_ORACLE_USER");
        const char* password = std::getenv("MALVORN_ORACLE_PASSWORD");
        if (!dsn || !*dsn || !user || !password) {
            GTEST_SKIP() << "no Oracle data source configured: set MALVORN_ORACLE_DSN, "
                            "MALVORN_ORACLE_USER and MALVORN_ORACLE_PASSWORD to run this test";
        }
        session_ = openOdbcSession(dsn, user, password);
        session_->execute(
            "BEGIN EXECUTE IMMEDIATE 'DROP TABLE MALVORN_PROBE'; "
            "EXCEPTION WHEN OTHERS THEN NULL; END;");
    }
    void TearDown() override {
        if (session_) {
            try {
                session_->execute("DROP TABLE MALVORN_PROBE");
            } catch (const oracle::OracleError&) {
                // The test itself may have dropped it.
            }
        }
    }

    std::unique_ptr<oracle::Session> session_;
};

TEST_F(RealOracle, RoundTripNullsJapaneseAndRefusals) {
    session_->execute("CREATE TABLE MALVORN_PROBE (ID NUMBER(5), 氏名 VARCHAR2(60), メモ CLOB)");
    // A literal holds at most 4000 bytes; two joined make a value longer than
    // one piece of the read.
    std::string half;
    for (int i = 0; i < 600; ++i)
        half += "髙①";
    session_->execute("INSERT INTO MALVORN_PROBE VALUES (1, '山田　太郎', NULL)");
    session_->execute("INSERT INTO MALVORN_PROBE VALUES (2, NULL, TO_CLOB('" + half +
                      "') || TO_CLOB('" + half + "'))");
    EXPECT_EQ(session_->queryValue("SELECT COUNT(*) FROM MALVORN_PROBE"), "2");
    EXPECT_EQ(session_->queryValue("SELECT 氏名 FROM MALVORN_PROBE WHERE ID = 1"), "山田　太郎");
    EXPECT_EQ(session_->queryValue("SELECT メモ FROM MALVORN_PROBE WHERE ID = 1"), std::nullopt);
    EXPECT_EQ(session_->queryValue("SELECT 氏名 FROM MALVORN_PROBE WHERE ID = 2"), std::nullopt);
    EXPECT_EQ(session_->queryValue("SELECT メモ FROM MALVORN_PROBE WHERE ID = 2"), half + half);
    auto rows = session_->query("SELECT ID, 氏名 FROM MALVORN_PROBE WHERE ID = 1");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value("ID"), "1");
    EXPECT_FALSE(rows->next());

    try {
        session_->execute("SELECT * FROM MALVORN_NO_SUCH_TABLE");
        FAIL() << "not refused";
    } catch (const oracle::OracleError& e) {
        EXPECT_EQ(e.number(), oracle::kServerErrorNumber);
        EXPECT_TRUE(e.description().starts_with("ORA-00942")) << e.description();
    }
}

TEST_F(RealOracle, ExistingTableIsFoundAndDroppedOnYes) {
    session_->execute("CREATE TABLE MALVORN_PROBE (ID NUMBER(5))");
    ScriptedMessages messages;
    messages.answers = {shell::MessageAnswer::kYes};
    oracle::fDropIfExists(*session_, "malvorn_probe", messages);  // exact case: not found
    EXPECT_TRUE(messages.shown.empty());
    oracle::fDropIfExists(*session_, "MALVORN_PROBE", messages);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(session_->queryValue(oracle::existingTableQuery("MALVORN_PROBE")), "0");
}

}  // namespace
}  // namespace malvorn::odbc
