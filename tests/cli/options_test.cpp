// The option table each command declares, read against the words given.
#include <gtest/gtest.h>

#include "cli/options.h"

namespace malvorn::cli {
namespace {

int ignore(const Arguments&) {
    return 0;
}

const Command kCommand{"cmd",
                       "cmd <x>",
                       ignore,
                       {{"user", "U", "user"},
                        {"replace", "", "flag"},
                        {"nul", "", "short", 'z'},
                        {"sql-folder", "DIR", "folder"}}};

struct ParseCase {
    const char* what;
    std::vector<std::string> words;
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

TEST(ParseArguments, ReadsWhatTheCommandDeclares) {
    const ParseCase cases[] = {
        {"value after the name", {"a", "--user", "nw", "b"}, {"a", "b"}, {{"user", "nw"}}},
        {"value after =", {"--user=nw", "a"}, {"a"}, {{"user", "nw"}}},
        {"= keeps everything after the first =", {"--user=a=b"}, {}, {{"user", "a=b"}}},
        {"= takes a value that looks like an option", {"--user=--x"}, {}, {{"user", "--x"}}},
        {"= with nothing after is an empty value", {"--user="}, {}, {{"user", ""}}},
        {"a flag, and a short form", {"-z", "--replace"}, {}, {{"nul", ""}, {"replace", ""}}},
        {"a single dash is a word", {"-", "a"}, {"-", "a"}, {}},
        {"-- ends the options",
         {"--replace", "--", "--user", "-z"},
         {"--user", "-z"},
         {{"replace", ""}}},
        {"a value may start with one dash", {"--user", "-1"}, {}, {{"user", "-1"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Arguments args = parseArguments(kCommand, c.words);
        EXPECT_EQ(args.positional, c.positional);
        EXPECT_EQ(args.options, c.options);
    }
}

struct MistakeCase {
    std::vector<std::string> words;
    std::string message;  // the whole message: it names the word at fault
};

TEST(ParseArguments, RefusesMistakesNamingTheWord) {
    const MistakeCase cases[] = {
        {{"a", "--verfy", "--replace"}, "不明なオプションです: --verfy"},
        {{"a", "--verfy"}, "不明なオプションです: --verfy"},  // at the end: not "has no value"
        {{"--verfy=1"}, "不明なオプションです: --verfy"},
        {{"-x"}, "不明なオプションです: -x"},
        {{"-zz"}, "不明なオプションです: -zz"},
        {{"--user"}, "--user に値 (U) がありません"},
        {{"--sql-folder", "--replace"},
         "--sql-folder に値 (DIR) がありません: 次の --replace はオプションです "
         "(-- で始まる値は --sql-folder=値 の形で指定してください)"},
        {{"--replace=x"}, "--replace は値をとりません: --replace=x"},
        {{"--replace="}, "--replace は値をとりません: --replace="},
        {{"--user", "a", "--user=b"}, "--user が2回指定されています"},
        {{"-z", "--nul"}, "--nul が2回指定されています"},
    };
    for (const auto& c : cases) {
        try {
            parseArguments(kCommand, c.words);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const UsageError& error) {
            EXPECT_EQ(error.what(), c.message);
        }
    }
}

TEST(ParseArguments, HelpIsAskedBeforeTheEndOfOptions) {
    EXPECT_TRUE(asksForHelp({"a", "-h"}));
    EXPECT_TRUE(asksForHelp({"--verfy", "--help"}));
    EXPECT_FALSE(asksForHelp({"--", "--help"}));
    EXPECT_FALSE(asksForHelp({"--helper"}));
}

TEST(CommandHelp, ListsEveryDeclaredOption) {
    const std::string help = commandHelp(kCommand);
    EXPECT_TRUE(help.starts_with("使い方: malvorn-cli cmd <x>\n")) << help;
    for (const char* line : {"  --user U          user\n", "  --replace         flag\n",
                             "  -z, --nul         short\n", "  --sql-folder DIR  folder\n"})
        EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
}

}  // namespace
}  // namespace malvorn::cli
