#include "convert/typed_names.h"

#include "convert/safe_names.h"
#include "convert/script_files.h"
#include "convert/script_text.h"
#include "encoding/letter_case.h"

namespace malvorn::convert {
namespace {

bool isControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == '\x7f';
}

// The name as a message shows it: a control character would move the
// terminal's cursor or break the box's lines.
std::string visible(std::string_view name) {
    std::string shown;
    for (const char c : name)
        shown += isControl(c) ? '?' : c;
    return shown;
}

const char* kindText(NameKind kind) {
    switch (kind) {
        case NameKind::kUser:
            return "ユーザー名";
        case NameKind::kOwner:
            return "所有者名";
        case NameKind::kTable:
            return "テーブル名";
        case NameKind::kConnectionUser:
            return "接続ユーザー名";
        case NameKind::kTablespace:
            return "表領域名";
    }
    return "名前";
}

}  // namespace

std::optional<std::string> nameProblem(std::string_view name, NameKind kind) {
    if (name.empty() || isPlainOracleName(name))
        return std::nullopt;
    return std::string(kindText(kind)) + "「" + visible(name) +
           "」はSQL文にそのまま書けません。文字で始まり、文字・数字・_ $ # だけからなる、"
           "予約語でない128バイト以内の名前を指定してください";
}

std::optional<std::string> passwordProblem(std::string_view password) {
    for (const char c : trimSpaces(password)) {
        if (c == '"' || isControl(c))
            return "パスワードに二重引用符 (\") や制御文字は使えません";
    }
    return std::nullopt;
}

std::string passwordText(std::string_view password) {
    const std::string_view trimmed = trimSpaces(password);
    if (trimmed.empty() || isPlainOracleName(trimmed))
        return std::string(password);
    if (const auto problem = passwordProblem(password))
        throw InputError(*problem);
    return "\"" + std::string(trimmed) + "\"";
}

std::string dictionaryNameText(std::string_view name) {
    if (isPlainOracleName(name) && encoding::upperCaseName(name) == name)
        return std::string(name);
    // A dictionary name holds no double quote: Oracle cannot express one.
    return "\"" + std::string(name) + "\"";
}

}  // namespace malvorn::convert
