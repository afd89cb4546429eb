#include "admin/script_folding.h"

#include <gtest/gtest.h>

#include <sstream>

#include "admin/result_text.h"
#include "encoding/cp932.h"
#include "shell/files.h"
#include "support/temp_dir.h"

namespace malvorn::admin {
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
    shell::writeFileAtomically(sjis, encoding::Cp932::fromUtf8(script));
    shell::writeFileAtomically(utf8, script);
    const std::string expected = " CREATE TABLE 社員 (氏名 VARCHAR2(20) DEFAULT '未定;') ";
    EXPECT_EQ(foldScriptFile(sjis), expected);
    EXPECT_EQ(foldScriptFile(utf8), expected);
    EXPECT_THROW(foldScriptFile(dir.path() + "/missing.sql"), shell::FileError);
}

class ListRows : public oracle::ResultSet {
  public:
    ListRows(std::vector<std::string> names, std::vector<std::vector<oracle::Value>> rows)
        : names_(std::move(names)), rows_(std::move(rows)) {}
    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override { return ++at_ < rows_.size(); }
    oracle::Value value(std::size_t i) const override { return rows_.at(at_).at(i); }

  private:
    std::vector<std::string> names_;
    std::vector<std::vector<oracle::Value>> rows_;
    std::size_t at_ = static_cast<std::size_t>(-1);
};

TEST(TabSeparated, HeaderRowsNullsAndEscapes) {
    ListRows rows(
        {"ID", "氏名", "備考"},
        {{"1", "山田", std::nullopt}, {"2", "a\tb", "x\r\ny\\z"}, {std::nullopt, "", ""}});
    std::ostringstream out;
    writeTabSeparated(rows, out);
    EXPECT_EQ(out.str(), "ID\t氏名\t備考\n1\t山田\t\n2\ta\\tb\tx\\r\\ny\\\\z\n\t\t\n");

    ListRows empty({"A"}, {});
    std::ostringstream none;
    writeTabSeparated(empty, none);
    EXPECT_EQ(none.str(), "A\n");
}

}  // namespace
}  // namespace malvorn::admin
