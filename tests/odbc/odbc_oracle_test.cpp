// Runs only against a real Oracle data source named by MALVORN_ORACLE_DSN,
// with MALVORN_ORACLE_USER and MALVORN_ORACLE_PASSWORD; skipped otherwise.
#include <gtest/gtest.h>

#include <cstdlib>

#include "odbc/odbc_session.h"
#include "oracle/existing_table.h"
#include "support/scripted_messages.h"

namespace malvorn::odbc {
namespace {

// Values with Nulls and Japanese, a CLOB longer than one piece of the read,
// a refusal, and the existing-table check against the real catalogue.
TEST(RealOracle, RoundTripRefusalAndExistingTable) {
    const char* dsn = std::getenv("MALVORN_ORACLE_DSN");
    const char* user = std::getenv("MALVORN_ORACLE_USER");
    const char* password = std::getenv("MALVORN_ORACLE_PASSWORD");
    if (!dsn || !*dsn || !user || !password) {
        GTEST_SKIP() << "no Oracle data source configured: set MALVORN_ORACLE_DSN, "
                        "MALVORN_ORACLE_USER and MALVORN_ORACLE_PASSWORD to run this test";
    }
    const auto session = openOdbcSession(dsn, user, password);
    session->execute(
        "BEGIN EXECUTE IMMEDIATE 'DROP TABLE MALVORN_PROBE'; EXCEPTION WHEN OTHERS THEN NULL; "
        "END;");
    session->execute("CREATE TABLE MALVORN_PROBE (ID NUMBER(5), 氏名 VARCHAR2(60), メモ CLOB)");
    // A literal holds at most 4000 bytes; two joined make the long value.
    std::string half;
    for (int i = 0; i < 600; ++i)
        half += "髙①";
    session->execute("INSERT INTO MALVORN_PROBE VALUES (1, '山田　太郎', NULL)");
    session->execute("INSERT INTO MALVORN_PROBE VALUES (2, NULL, TO_CLOB('" + half +
                     "') || TO_CLOB('" + half + "'))");
    const std::pair<const char*, oracle::Value> cases[] = {
        {"SELECT COUNT(*) FROM MALVORN_PROBE", "2"},
        {"SELECT 氏名 FROM MALVORN_PROBE WHERE ID = 1", "山田　太郎"},
        {"SELECT メモ FROM MALVORN_PROBE WHERE ID = 1", std::nullopt},
        {"SELECT 氏名 FROM MALVORN_PROBE WHERE ID = 2", std::nullopt},
        {"SELECT メモ FROM MALVORN_PROBE WHERE ID = 2", half + half},
    };
    for (const auto& [query, value] : cases)
        EXPECT_EQ(session->queryValue(query), value) << query;
    auto rows = session->query("SELECT ID, 氏名 FROM MALVORN_PROBE WHERE ID = 1");
    ASSERT_TRUE(rows->next());
    EXPECT_EQ(rows->value("ID"), "1");
    EXPECT_FALSE(rows->next());
    try {
        session->execute("SELECT * FROM MALVORN_NO_SUCH_TABLE");
        ADD_FAILURE() << "not refused";
    } catch (const oracle::OracleError& e) {
        EXPECT_EQ(e.number(), oracle::kServerErrorNumber);
        EXPECT_TRUE(e.description().starts_with("ORA-00942")) << e.description();
    }

    ScriptedMessages messages;
    messages.answers = {base::MessageAnswer::kYes};
    oracle::fDropIfExists(*session, "malvorn_probe", messages);  // exact case: not found
    EXPECT_TRUE(messages.shown.empty());
    oracle::fDropIfExists(*session, "MALVORN_PROBE", messages);
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(session->queryValue(oracle::existingTableQuery("MALVORN_PROBE")), "0");
}

}  // namespace
}  // namespace malvorn::odbc
