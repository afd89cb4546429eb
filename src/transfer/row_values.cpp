#include "transfer/row_values.h"

#include "base/numeric.h"

namespace malvorn::transfer {
namespace {

using oracle::BoundValue;

std::string& storage(std::string& text) {
    return text;
}
std::string& storage(oracle::BoundNumber& number) {
    return number.text;
}
std::string& storage(oracle::BoundBytes& bytes) {
    return bytes.bytes;
}

// `text` into `out` as a value of kind `Kind`, in the memory `out` already
// has when it holds that kind: a batch's rows are filled again and again.
template <typename Kind>
void put(BoundValue& out, std::string_view text) {
    if (auto* held = std::get_if<Kind>(&out)) {
        storage(*held).assign(text);
        return;
    }
    storage(out.emplace<Kind>()).assign(text);
}

void putDate(BoundValue& out, double serial) {
    const DateParts d = splitDate(serial);
    out = oracle::BoundDateTime{d.year, d.month, d.day, d.hour, d.minute, d.second};
}

void putTextOrNull(BoundValue& out, const std::string* text) {
    if (text)
        put<std::string>(out, *text);
    else
        out = std::monostate{};
}

}  // namespace

void assignBoundValue(BoundValue& out, std::int16_t typeCode, const jet::JetValue& value,
                      bool safe) {
    using namespace jet;
    const auto* text = std::get_if<std::string>(&value);
    const auto* binary = std::get_if<JetBinary>(&value);
    if (safe) {
        // Texts and bytes go as they are whatever the type, as the safe literals send them.
        if ((isNull(value) && typeCode != model::kJetBoolean) || (binary && binary->bytes.empty()))
            return void(out = std::monostate{});
        if (text)
            return put<std::string>(out, *text);
        if (binary)
            return put<oracle::BoundBytes>(out, binary->bytes);
    }
    if (model::isNumberType(typeCode)) {
        NumberBuffer buffer;
        return put<oracle::BoundNumber>(out, base::gfNullToValueView(numberText(value, buffer)));
    }
    switch (typeCode) {
        case model::kJetText:
        case model::kJetMemo:
            return put<std::string>(out, text ? std::string_view(*text) : std::string_view());
        case model::kJetDate:
            if (const auto* date = std::get_if<JetDate>(&value))
                return putDate(out, date->serial);
            return void(out = std::monostate{});
        case model::kJetDateTimeExtended:
            // A bound date carries whole seconds only: refused rather than cut.
            if (std::holds_alternative<JetTimestamp>(value))
                throw LiteralError(
                    "日付/時刻拡張型の値は値の結合 (--bulk) では100ナノ秒まで送れません。"
                    "--bulk を付けずに実行してください");
            return void(out = std::monostate{});
        case model::kJetBoolean: {
            const auto* flag = std::get_if<bool>(&value);
            return put<oracle::BoundNumber>(out, flag && *flag ? "-1" : "0");
        }
        case kJetGuidType:
            if (const auto* guid = std::get_if<JetGuid>(&value))
                return put<std::string>(out, guid->text);
            return put<std::string>(out, std::string_view());
        default:
            if (binary)
                return put<oracle::BoundBytes>(out, binary->bytes);
            return putTextOrNull(out, text);
    }
}

BoundValue boundValue(std::int16_t typeCode, const jet::JetValue& value, bool safe) {
    BoundValue bound;
    assignBoundValue(bound, typeCode, value, safe);
    return bound;
}

std::string placeholderStatement(const std::string& head, std::size_t columns) {
    std::string statement = head + " (";
    for (std::size_t i = 0; i < columns; ++i)
        statement += i ? ", ?" : "?";
    return statement + ")";
}

void rowValuesInto(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row, bool safe,
                   const RowPlace* place, oracle::BoundRow& out) {
    out.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            assignBoundValue(out[i], columns[i].typeCode, i < row.size() ? row[i] : jet::JetValue(),
                             safe);
        } catch (const LiteralError& e) {
            if (!place)
                throw;
            throw placedError(e, *place, columns[i].name);
        }
    }
}

oracle::BoundRow rowValues(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row,
                           bool safe, const RowPlace* place) {
    oracle::BoundRow values;
    rowValuesInto(columns, row, safe, place, values);
    return values;
}

}  // namespace malvorn::transfer
