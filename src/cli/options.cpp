#include "cli/options.h"

#include <algorithm>
#include <optional>

#include "cli/passwords.h"

namespace malvorn::cli {
namespace {

const Option* findLong(const Command& command, const std::string& name) {
    for (const auto& option : command.options) {
        if (option.name == name)
            return &option;
    }
    return nullptr;
}

const Option* findShort(const Command& command, char letter) {
    for (const auto& option : command.options) {
        if (option.shortName != 0 && option.shortName == letter)
            return &option;
    }
    return nullptr;
}

bool isOptionWord(const std::string& word) {
    return word.size() > 1 && word[0] == '-';
}

// The option `word` names; `inlineValue` set when it came as --name=value.
const Option& optionOf(const Command& command, const std::string& word,
                       std::optional<std::string>& inlineValue) {
    const Option* option = nullptr;
    std::string shown = word;
    if (word.starts_with("--")) {
        const auto equals = word.find('=');
        shown = word.substr(0, equals);
        if (equals != std::string::npos)
            inlineValue = word.substr(equals + 1);
        option = findLong(command, shown.substr(2));
    } else if (word.size() == 2) {
        option = findShort(command, word[1]);
    }
    if (option == nullptr)
        throw UsageError("不明なオプションです: " + shown);
    return *option;
}

}  // namespace

Arguments parseArguments(const Command& command, const std::vector<std::string>& words) {
    Arguments args;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (optionsEnded || !isOptionWord(word)) {
            args.positional.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        const Option& option = optionOf(command, word, inlineValue);
        const std::string shown = "--" + option.name;
        if (args.has(option.name))
            throw UsageError(shown + " が2回指定されています");
        if (!option.takesValue()) {
            if (inlineValue)
                throw UsageError(shown + " は値をとりません: " + word);
            args.options[option.name] = std::string();
            continue;
        }
        if (!inlineValue) {
            if (i + 1 >= words.size())
                throw UsageError(shown + " に値 (" + option.value + ") がありません");
            const std::string& next = words[i + 1];
            if (next.starts_with("--"))
                throw UsageError(shown + " に値 (" + option.value + ") がありません: 次の " + next +
                                 " はオプションです (-- で始まる値は " + shown +
                                 "=値 の形で指定してください)");
            inlineValue = next;
            ++i;
        }
        args.options[option.name] = *inlineValue;
    }
    return args;
}

bool asksForHelp(const std::vector<std::string>& words) {
    for (const auto& word : words) {
        if (word == "--")
            return false;
        if (word == "-h" || word == "--help")
            return true;
    }
    return false;
}

std::string commandHelp(const Command& command) {
    std::string text = "使い方: malvorn-cli " + command.usage + "\n";
    if (command.options.empty())
        return text;
    std::vector<std::string> heads;
    std::size_t width = 0;
    for (const auto& option : command.options) {
        std::string head = option.shortName ? std::string("-") + option.shortName + ", " : "";
        head += "--" + option.name + (option.takesValue() ? " " + option.value : "");
        width = std::max(width, head.size());
        heads.push_back(std::move(head));
    }
    text += "\nオプション:\n";
    for (std::size_t i = 0; i < heads.size(); ++i)
        text += "  " + heads[i] + std::string(width - heads[i].size() + 2, ' ') +
                command.options[i].help + "\n";
    text += "  -h, --help" + std::string(width > 10 ? width - 10 + 2 : 2, ' ') +
            "この説明を表示します\n";
    return text;
}

std::string programHelp(const std::vector<Command>& commands) {
    std::string text = "使い方: malvorn-cli <コマンド> [オプション]\n\nコマンド:\n";
    for (const auto& command : commands)
        text += "  " + command.usage + "\n";
    text +=
        "\n各コマンドのオプション: malvorn-cli <コマンド> --help\n"
        "--name 値 と --name=値 は同じです (-- で始まる値は --name=値 の形で)。\n"
        "-- の後の語はすべてオプションでない引数です。\n"
        "\n" +
        passwordHelp() +
        "\n"
        "  -h, --help   この説明を表示します\n"
        "  --version    版を表示します\n";
    return text;
}

Options connectionOptions() {
    return {
        {"user", "U", "接続するユーザー"},
        {"password", "P", "パスワード (ほかのユーザーにも見えます: --password-file か環境変数を)"},
        {"password-file", "FILE", "パスワードをファイルの1行目から読みます"},
        {"service", "S", "ネットサービス名 (空: 既定のローカルサーバー、/で始まる: そのフォルダ)"},
    };
}

Options operator+(Options first, const Options& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

}  // namespace malvorn::cli
