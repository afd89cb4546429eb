#include "base/script_folding.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/files.h"
#include "encoding/cp932.h"
#include "support/temp_dir.h"

namespace malvorn::base {
namespace {

TEST(FoldScript, LinesBecomeOneStatement) {
    const std::tuple<const char*, std::vector<std::string>, std::string> cases[] = {
        {"table script",
         {"/* header */", "CREATE TABLE T", "(A NUMBER)", "TABLESPACE users;"},
         " CREATE TABLE T (A NUMBER) TABLESPACE users"},
        {"comment test looks at the first two characters only",
         {"  /* not a comment", "X /* y", "/*", "still read */"},
         "   /* not a comment X /* y still read */"},
        {"empty lines count", {"", "A", ""}, "  A "},
        {"every ; outside quotes goes", {"A;;B;", ";"}, " AB "},
        {"; inside a literal stays",
         {"INSERT INTO T VALUES ('a;b');"},
         " INSERT INTO T VALUES ('a;b')"},
        {"doubled quote inside a literal", {"VALUES ('it''s;', 'x');"}, " VALUES ('it''s;', 'x')"},
        {"literal over two lines", {"VALUES ('a;", "b;');"}, " VALUES ('a; b;')"},
        {"skipped lines do not touch the quote state", {"X 'a", "/* it's", "b;' ;"}, " X 'a b;' "},
        {"only comments", {"/* a */", "/*"}, ""},
        {"no lines", {}, ""},
    };
    for (const auto& [name, lines, expected] : cases)
        EXPECT_EQ(foldScript(lines), expected) << name;
}

TEST(SplitLines, EveryLineEndIsRecognised) {
    const std::tuple<std::string, std::vector<std::string>> cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},     {"a\nb", {"a", "b"}}, {"a\rb\r", {"a", "b"}},
        {"a\r\n\r\nb", {"a", "", "b"}}, {"\n", {""}},         {"", {}},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(splitLines(text), expected) << text;
}

TEST(FoldScriptFile, ReadsCp932AndUtf8Files) {
    TempDir dir;
    const std::string sjis = dir.path() + "/sjis.sql";
    const std::string utf8 = dir.path() + "/utf8.sql";
    const std::string script =
        "/* 社員マスタ */\r\nCREATE TABLE 社員\r\n(氏名 VARCHAR2(20) DEFAULT '未定;')\r\n;\r\n";
    base::writeFileAtomically(sjis, encoding::Cp932::fromUtf8(script));
    base::writeFileAtomically(utf8, script);
    const std::string expected = " CREATE TABLE 社員 (氏名 VARCHAR2(20) DEFAULT '未定;') ";
    EXPECT_EQ(foldScriptFile(sjis), expected);
    EXPECT_EQ(foldScriptFile(utf8), expected);
    EXPECT_THROW(foldScriptFile(dir.path() + "/missing.sql"), base::FileError);
}

}  // namespace
}  // namespace malvorn::base
