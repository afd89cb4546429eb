#include <gtest/gtest.h>

#include "localserver/lexer.h"
#include "localserver/parser.h"
#include "server_fixture.h"

namespace malvorn::localserver {
namespace {

std::string kinds(const std::string& text) {
    using K = Token::Kind;
    const std::pair<K, const char*> tags[] = {{K::kWord, "w:"},   {K::kQuoted, "q:"},
                                              {K::kString, "s:"}, {K::kNumber, "n:"},
                                              {K::kSymbol, "y:"}, {K::kEnd, "end"}};
    std::string out;
    for (const Token& t : tokenize(text)) {
        for (const auto& [kind, tag] : tags) {
            if (t.kind == kind)
                out += kind == K::kEnd ? std::string(tag) : tag + t.text + " ";
        }
    }
    return out;
}

TEST(Lexer, ReadsTheServersTokens) {
    const std::pair<const char*, const char*> cases[] = {
        {"select Abc", "w:SELECT w:ABC end"},
        {"\"MixedCase\" x", "q:MixedCase w:X end"},
        {"レコード番号 表名", "w:レコード番号 w:表名 end"},
        {"a\rb\r\nc\nd\te", "w:A w:B w:C w:D w:E end"},
        {"'O''Neil;' ''", "s:O'Neil; s: end"},
        {"12 12.25 .5 1E3 1e-2", "n:12 n:12.25 n:.5 n:1E3 n:1e-2 end"},
        {"a||b <> c != d ^= e <= f >= g",
         "w:A y:|| w:B y:<> w:C y:!= w:D y:^= w:E y:<= w:F y:>= w:G end"},
        {"a -- comment\r\nb /* block\r */ c", "w:A w:B w:C end"},
        {"a.b(*)", "w:A y:. w:B y:( y:* y:) end"},
        {"x$#_1", "w:X$#_1 end"}};
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(kinds(text), expected) << text;
}

TEST(Lexer, RefusesWhatTheServerRefuses) {
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT 1 FROM DUAL;", "ORA-00911"}, {"DELETE FROM T;", "ORA-00911"},
        {"SELECT ? FROM DUAL", "ORA-00911"},  {"SELECT 'abc FROM DUAL", "ORA-01756"},
        {"SELECT 1 /* open", "ORA-01742"},    {"SELECT \"\" FROM DUAL", "ORA-01741"}};
    for (const auto& [text, code] : cases)
        EXPECT_EQ(ServerTest::oraCode([&] { tokenize(text); }), code) << text;
}

TEST(Parser, TellsMalformedStatementsApart) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "ORA-00900"},
        {"EXPLAIN PLAN FOR SELECT 1 FROM DUAL", "ORA-00900"},
        {"SELECT LEVEL FROM DUAL CONNECT BY LEVEL < 3", "ORA-00900"},
        {"SELECT 1 FROM DUAL UNION", "ORA-00928"},
        {"SELECT 1 FROM DUAL FETCH FIRST 2 ROWS", "ORA-00905"},
        {"ALTER TABLE T FROB", "ORA-01735"},
        {"ALTER SESSION SET X = 1", "ORA-00900"},
        {"SELECT 1", "ORA-00923"},
        {"SELECT FROM DUAL", "ORA-00936"},
        {"SELECT (1 FROM DUAL", "ORA-00907"},
        {"SELECT 1 FROM DUAL WHERE", "ORA-00936"},
        {"SELECT 1 FROM DUAL X Y", "ORA-00933"},
        {"INSERT INTO T (A) (1)", "ORA-00926"},
        {"CREATE TABLE T A NUMBER", "ORA-00906"},
        {"CREATE TABLE T (A NUMBER) STORAGE", "ORA-00922"},
        {"CREATE TABLE T (A ERROR TYPE=1)", "ORA-00902"},
        {"CREATE USER U IDENTIFIED BY 123", "ORA-00988"},
        {"UPDATE T SET A 1", "ORA-00927"},
        {"DROP TABLE T CASCADE", "ORA-00905"}};
    for (const auto& [text, code] : cases)
        EXPECT_EQ(ServerTest::oraCode([&] { parseStatement(text); }), code) << text;
}

}  // namespace
}  // namespace malvorn::localserver
