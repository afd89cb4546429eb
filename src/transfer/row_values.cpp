#include "transfer/row_values.h"

#include "base/numeric.h"

namespace malvorn::transfer {
namespace {

oracle::BoundValue dateValue(double serial) {
    const DateParts d = splitDate(serial);
    return oracle::BoundDateTime{d.year, d.month, d.day, d.hour, d.minute, d.second};
}

oracle::BoundValue textOr(const std::string* text, oracle::BoundValue otherwise) {
    return text ? oracle::BoundValue(*text) : otherwise;
}

}  // namespace

oracle::BoundValue boundValue(std::int16_t typeCode, const jet::JetValue& value, bool safe) {
    using namespace jet;
    const auto* text = std::get_if<std::string>(&value);
    const auto* binary = std::get_if<JetBinary>(&value);
    if (safe) {
        // Texts and bytes go as they are whatever the type, as the safe literals send them.
        if ((isNull(value) && typeCode != model::kJetBoolean) || (binary && binary->bytes.empty()))
            return std::monostate{};
        if (text)
            return *text;
        if (binary)
            return oracle::BoundBytes{binary->bytes};
    }
    if (model::isNumberType(typeCode))
        return oracle::BoundNumber{base::gfNullToValue(numberText(value))};
    switch (typeCode) {
        case model::kJetText:
        case model::kJetMemo:
            return textOr(text, std::string());
        case model::kJetDate:
            if (const auto* date = std::get_if<JetDate>(&value))
                return dateValue(date->serial);
            return std::monostate{};
        case model::kJetDateTimeExtended:
            // A bound date carries whole seconds only: refused rather than cut.
            if (std::holds_alternative<JetTimestamp>(value))
                throw LiteralError(
                    "日付/時刻拡張型の値は値の結合 (--bulk) では100ナノ秒まで送れません。"
                    "--bulk を付けずに実行してください");
            return std::monostate{};
        case model::kJetBoolean: {
            const auto* flag = std::get_if<bool>(&value);
            return oracle::BoundNumber{flag && *flag ? "-1" : "0"};
        }
        case kJetGuidType:
            if (const auto* guid = std::get_if<JetGuid>(&value))
                return guid->text;
            return std::string();
        default:
            if (binary)
                return oracle::BoundBytes{binary->bytes};
            return textOr(text, std::monostate{});
    }
}

std::string placeholderStatement(const std::string& head, std::size_t columns) {
    std::string statement = head + " (";
    for (std::size_t i = 0; i < columns; ++i)
        statement += i ? ", ?" : "?";
    return statement + ")";
}

oracle::BoundRow rowValues(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row,
                           bool safe, const RowPlace* place) {
    oracle::BoundRow values;
    values.reserve(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        try {
            values.push_back(
                boundValue(columns[i].typeCode, i < row.size() ? row[i] : jet::JetValue(), safe));
        } catch (const LiteralError& e) {
            if (!place)
                throw;
            throw placedError(e, *place, columns[i].name);
        }
    }
    return values;
}

}  // namespace malvorn::transfer
