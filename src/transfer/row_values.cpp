#include "transfer/row_values.h"

#include "base/numeric.h"

namespace malvorn::transfer {
namespace {

using oracle::BoundValue;

std::string& storage(std::string& text) {
    return text;
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

// A number as its text and, where the value is a whole count of units
// (integers, currency, Yes/No), those units too: the local server takes
// them without reading the text back.
void putNumber(BoundValue& out, std::string_view text, bool exact, std::int64_t units,
               std::int16_t scale) {
    auto* number = std::get_if<oracle::BoundNumber>(&out);
    if (!number)
        number = &out.emplace<oracle::BoundNumber>();
    number->text.assign(text);
    number->exact = exact;
    number->units = exact ? units : 0;
    number->scale = exact ? scale : 0;
}

void putNumberValue(BoundValue& out, const jet::JetValue& value) {
    NumberBuffer buffer;
    // Texts written here from whole units are numbers: only the others are
    // checked, and one that is no number goes as 0, as the literal does.
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return putNumber(out, *numberText(value, buffer), true, *integer, 0);
    if (const auto* currency = std::get_if<jet::JetCurrency>(&value))
        return putNumber(out, *numberText(value, buffer), true, currency->scaled, 4);
    // Written by to_chars, which writes numbers only (an infinity is refused).
    if (std::holds_alternative<double>(value) || std::holds_alternative<float>(value)) {
        const std::string_view text = *numberText(value, buffer);
        return putNumber(out, text, text == "0", 0, 0);
    }
    const std::string_view text = base::gfNullToValueView(numberText(value, buffer));
    putNumber(out, text, text == "0", 0, 0);
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
    if (model::isNumberType(typeCode))
        return putNumberValue(out, value);
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
            return flag && *flag ? putNumber(out, "-1", true, -1, 0)
                                 : putNumber(out, "0", true, 0, 0);
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
    // Both sides lvalues: the field is read in place, not copied.
    const jet::JetValue null;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            assignBoundValue(out[i], columns[i].typeCode, i < row.size() ? row[i] : null, safe);
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
