// The scripts written for SQL*Plus: file names the shell and SQL*Plus take
// as they are, statements SQL*Plus would split, the master's lines.
#include <gtest/gtest.h>

#include "convert/sqlplus_scripts.h"

namespace malvorn::convert {
namespace {

TEST(ScriptFileNames, SafeUniqueRegardlessOfCase) {
    struct Case {
        const char* table;
        const char* file;
    };
    // Taken in this order from one set of names, "Indexes.sql" reserved.
    const Case cases[] = {
        {.table = "Order Details", .file = "Order_Details.sql"},
        {.table = "Umsätze", .file = "Umsätze.sql"},
        {.table = "得意先", .file = "得意先.sql"},
        {.table = "Indexes", .file = "Indexes_2.sql"},
        {.table = "a&b@c;d'e\"f", .file = "a_b_c_d_e_f.sql"},
        {.table = "../x\\y?*", .file = "___x_y__.sql"},
        {.table = "-rf", .file = "_rf.sql"},
        {.table = "全角　空白", .file = "全角_空白.sql"},
        {.table = "UMSÄTZE", .file = "UMSÄTZE_2.sql"},
        {.table = "order_details", .file = "order_details_2.sql"},
        {.table = "Con", .file = "Con_.sql"},
        {.table = "LPT1", .file = "LPT1_.sql"},
        {.table = "COM10", .file = "COM10.sql"},
        {.table = "", .file = "table.sql"},
    };
    ScriptFileNames names;
    names.reserve("Indexes.sql");
    for (const Case& c : cases)
        EXPECT_EQ(names.take(c.table), c.file) << c.table;
}

TEST(SqlPlusTrap, LinesSqlPlusWouldReadAsItsOwn) {
    struct Case {
        const char* sql;
        const char* trap;  // a word of the reason; nullptr: none
    };
    const Case cases[] = {
        {.sql = "CREATE INDEX a ON t (c)", .trap = nullptr},
        {.sql = "COMMENT ON TABLE t IS 'one\n\ntwo\n.\nthree & four'", .trap = nullptr},
        {.sql = "COMMENT ON TABLE t IS 'one\n/\ntwo'", .trap = "「/」"},
        {.sql = "COMMENT ON TABLE t IS 'one\n  #two'", .trap = "「#」"},
        {.sql = "COMMENT ON TABLE t IS 'one;\ntwo'", .trap = "「;」"},
        {.sql = "/ first line", .trap = nullptr},
    };
    for (const Case& c : cases) {
        const auto trap = sqlPlusTrap(c.sql);
        ASSERT_EQ(trap.has_value(), c.trap != nullptr) << c.sql;
        if (c.trap) {
            EXPECT_NE(trap->find(c.trap), std::string::npos) << *trap;
        }
    }
}

TEST(SchemaMasterScript, SaysUtf8FirstAndNamesEveryFileInOrder) {
    const std::string master = schemaMasterScript("db.mdb", {"Umsätze.sql", "Indexes.sql"});
    EXPECT_EQ(master.substr(0, master.find('\n')).rfind("-- 文字コード UTF-8", 0), 0u) << master;
    const auto first = master.find("\n@@Umsätze.sql\n");
    const auto second = master.find("\n@@Indexes.sql\n");
    ASSERT_NE(first, std::string::npos) << master;
    EXPECT_LT(first, second);
    EXPECT_LT(master.find("SET DEFINE OFF\n"), first);
    EXPECT_LT(master.find("WHENEVER SQLERROR EXIT FAILURE\n"), first);
    EXPECT_EQ(master.substr(master.size() - 5), "EXIT\n");
    EXPECT_EQ(master.find('\r'), std::string::npos);
}

}  // namespace
}  // namespace malvorn::convert
