#include "convert/fixed_scripts.h"

#include "convert/script_files.h"
#include "convert/typed_names.h"
#include "encoding/ascii.h"

namespace malvorn::convert {

const std::vector<std::string>& lfidnoDefinitionLines() {
    static const std::vector<std::string> lines = {
        "CREATE TABLE LFIDNO",
        PadBytes("(表名", 32) + "VARCHAR2(100)",
        PadBytes(",列名", 32) + "VARCHAR2(100)",
        PadBytes(",IDNO", 32) + "NUMBER(10)",
        ",CONSTRAINT pkLFIDNO PRIMARY KEY(表名,列名) USING INDEX TABLESPACE indx",
        ")",
        "TABLESPACE users",
    };
    return lines;
}

std::string lfidnoDefinitionText() {
    std::string text;
    for (const auto& line : lfidnoDefinitionLines())
        text += line + "\r\n";
    return text;
}

std::vector<std::string> lfidnoScriptLines(const ScriptDate& date) {
    std::vector<std::string> lines = {
        std::string(kBorderLine),
        boxedCommentLine("/* ﾃｰﾌﾞﾙ作成SQL　LFIDNO"),
        boxedCommentLine("/* Create Date : " + formatScriptDate(date)),
        boxedCommentLine("/* Row Length + Over Head = 1560 + 36 = 1,596 Bytes"),
        std::string(kBorderLine),
    };
    lines.insert(lines.end(), lfidnoDefinitionLines().begin(), lfidnoDefinitionLines().end());
    lines.back() += ';';
    return lines;
}

std::optional<std::string> adminScriptProblem(const std::string& user,
                                              const std::string& password) {
    // SQL*Plus runs the file as SYSTEM: a user name that is not one plain
    // name would run more than CREATE USER.
    if (auto problem = nameProblem(trimSpaces(user), NameKind::kConnectionUser))
        return problem;
    return passwordProblem(password);
}

std::vector<std::string> adminScriptLines(const std::string& user, const std::string& password) {
    if (const auto problem = adminScriptProblem(user, password))
        throw InputError(*problem);
    return {
        std::string(kBorderLine),
        // Fixed texts, not boxed: the command line is 71 bytes and stays whole.
        "/* ﾕｰｻﾞｰの作成  systemで実行                                             */",
        "/* 権限の付与を忘れずに！                                                */",
        "/* DOSプロンプト> SQLPLUS system/pelvak@NetServiceName @CreateAdmin.sql  */",
        std::string(kBorderLine),
        "CREATE USER " + user,
        " IDENTIFIED BY " + passwordText(password),
        " DEFAULT TABLESPACE users",
        " TEMPORARY TABLESPACE temp;",
        "GRANT DBA, RESOURCE, CONNECT TO vembuser;",
        "EXIT",
    };
}

std::vector<std::string> batchScriptLines(const std::string& user, const std::string& password,
                                          const std::string& service, const ScriptDate& date,
                                          const std::vector<std::string>& scriptFiles) {
    // The three texts stand inside a comment line: a "*/" would end it and
    // SQL*Plus would run the rest, a line break would split it.
    for (const auto* text : {&user, &password, &service}) {
        if (text->find("*/") != std::string::npos ||
            text->find_first_of("\r\n") != std::string::npos)
            throw InputError(
                "接続文字列に \"*/\" や改行があり、CreateTables.sql のコメント行に書けません");
    }
    std::vector<std::string> lines = {
        std::string(kBorderLine),
        boxedCommentLine("/* ﾃｰﾌﾞﾙ 一括作成SQL　ADMINで実行"),
        boxedCommentLine("/* DOSﾌﾟﾛﾝﾌﾟﾄ> SQLPLUS " + user + "/" + password + "@" + service +
                         " @CreateTables.sql"),
        boxedCommentLine("/* Create Date : " + formatScriptDate(date)),
        std::string(kBorderLine),
    };
    for (const auto& file : scriptFiles) {
        if (encoding::equalsIgnoringAsciiCase(file, kBatchScriptName) ||
            encoding::equalsIgnoringAsciiCase(file, kAdminScriptName))
            continue;
        lines.push_back("@@" + file);
    }
    lines.emplace_back("EXIT");
    return lines;
}

}  // namespace malvorn::convert
