#include "cli/console.h"

#include <cstdio>

#include "app/drivers.h"
#include "cli/jet_warnings.h"
#include "convert/script_files.h"
#include "jet/jet_reader_client.h"

namespace malvorn::cli {

std::string consoleLines(const std::string& boxText) {
    std::string lines = boxText;
    for (char& c : lines) {
        if (c == '\r')
            c = '\n';
    }
    return lines + "\n";
}

base::MessageAnswer ConsoleMessages::show(const std::string& text, base::MessageIcon,
                                          base::MessageButtons buttons, base::TitleForm) {
    shown_ = true;
    if (buttons == base::MessageButtons::kOk) {
        std::fputs(consoleLines(text).c_str(), stderr);
        return base::MessageAnswer::kOk;
    }
    std::fprintf(stderr, "%s-> %s\n", consoleLines(text).c_str(), answerYes_ ? "はい" : "いいえ");
    return answerYes_ ? base::MessageAnswer::kYes : base::MessageAnswer::kNo;
}

std::string consoleRefusalText(const core::Check& check) {
    using core::Rule;
    const std::string& subject = check.subject;
    switch (check.rule) {
        case Rule::kUnnamed:
            break;
        case Rule::kDbPathBlank:
            return "データベースファイルのパスが空です";
        case Rule::kDbPathExtension:
            return "データベースファイルの拡張子が mdb でも sdb でもありません: " + subject;
        case Rule::kDbPathMissing:
            return "データベースファイルがありません: " + subject;
        case Rule::kTableBlank:
            return "テーブル名が空です";
        case Rule::kOwnerIsSystem:
            return "表の所有者が SYSTEM になります (--user " + subject +
                   "): 表を持つユーザーで接続してください";
        case Rule::kConnectionNotSystem:
            return "ユーザーの作成と削除は --user SYSTEM で接続してください (指定: --user " +
                   subject + ")";
        case Rule::kTablespaceBlank:
            return "--tablespace が空です";
        case Rule::kIndexTablespaceBlank:
            return "--index-tablespace が空です";
        case Rule::kSqlFolderBlank:
            return "SQL の格納先フォルダが空です";
        case Rule::kSqlFolderMissing:
            return "SQL の格納先フォルダがありません: " + subject;
        case Rule::kSqlFolderWithoutScripts:
            return "SQL の格納先フォルダに .sql ファイルがありません: " + subject;
        case Rule::kScriptMissing:
            return "スクリプトファイルがありません: " + subject;
        case Rule::kSqlBlank:
            return "SQL 文が空です";
    }
    return check.message;
}

void ConsoleFront::setStatus(const std::string& text, bool) {
    if (text.empty())
        return;
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

int exitStatus(core::Outcome outcome) {
    switch (outcome) {
        case core::Outcome::kDone:
            return 0;
        case core::Outcome::kRefused:
            return 2;
        case core::Outcome::kFailed:
            break;
        case core::Outcome::kInterrupted:
            return kInterruptedStatus;
    }
    return 1;
}

core::Services consoleServices(ConsoleMessages& messages, ConsoleFront& front) {
    return {messages,
            front,
            core::sessionOpener(app::defaultDrivers()),
            [](const std::string& path) { return warningJetSource(jet::openJetSource(path)); },
            base::gFso(),
            convert::localToday};
}

}  // namespace malvorn::cli
