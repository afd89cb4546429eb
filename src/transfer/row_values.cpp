#include "transfer/row_values.h"

#include "base/numeric.h"

namespace malvorn::transfer {
namespace {

using oracle::BoundNumber;
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
BoundNumber& heldNumber(BoundValue& out) {
    if (auto* number = std::get_if<BoundNumber>(&out))
        return *number;
    return out.emplace<BoundNumber>();
}

void putNumber(BoundValue& out, std::string_view text) {
    BoundNumber& number = heldNumber(out);
    number.text.assign(text);
    number.exact = text == "0";  // a plain 0 is whole units too; -0 keeps its text
    number.units = 0;
    number.scale = 0;
}

// An exact number: its units, and its text unless the driver reads only those.
void putExact(BoundValue& out, const jet::JetValue& value, std::int64_t units, std::int16_t scale,
              ExactText exactText) {
    BoundNumber& number = heldNumber(out);
    if (exactText == ExactText::kWritten) {
        NumberBuffer buffer;
        number.text.assign(*numberText(value, buffer));
    } else {
        number.text.clear();
    }
    number.exact = true;
    number.units = units;
    number.scale = scale;
}

void putNumberValue(BoundValue& out, const jet::JetValue& value, ExactText exactText) {
    if (const auto* integer = std::get_if<std::int64_t>(&value))
        return putExact(out, value, *integer, 0, exactText);
    if (const auto* currency = std::get_if<jet::JetCurrency>(&value))
        return putExact(out, value, currency->scaled, 4, exactText);
    NumberBuffer buffer;
    // Written by to_chars, which writes numbers only (an infinity is refused).
    if (std::holds_alternative<double>(value) || std::holds_alternative<float>(value))
        return putNumber(out, *numberText(value, buffer));
    // Only the other texts are checked, and one that is no number goes as 0,
    // as the literal does.
    putNumber(out, base::gfNullToValueView(numberText(value, buffer)));
}

void putTextOrNull(BoundValue& out, const std::string* text) {
    if (text)
        put<std::string>(out, *text);
    else
        out = std::monostate{};
}

}  // namespace

void assignBoundValue(BoundValue& out, std::int16_t typeCode, const jet::JetValue& value, bool safe,
                      ExactText exactText) {
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
        return putNumberValue(out, value, exactText);
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
            return putExact(out, std::int64_t{flag && *flag ? -1 : 0}, flag && *flag ? -1 : 0, 0,
                            exactText);
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
                   const RowPlace* place, oracle::BoundRow& out, ExactText exactText) {
    out.resize(columns.size());
    // Both sides lvalues: the field is read in place, not copied.
    const jet::JetValue null;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            assignBoundValue(out[i], columns[i].typeCode, i < row.size() ? row[i] : null, safe,
                             exactText);
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
