#include "localserver/batch_checks.h"

#include "encoding/ascii.h"
#include "localserver/binary_float.h"
#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

CellRule cellRuleOf(const ColumnDef& column, ColumnKind kind) {
    const std::string& type = column.dataType;
    switch (kind) {
        case ColumnKind::kCharacter:
            if (type == "CLOB")
                return CellRule::kClob;
            return type == "VARCHAR2" || type == "NVARCHAR2" ? CellRule::kText : CellRule::kOther;
        case ColumnKind::kNumber:
            return binaryKindOf(type) == BinaryKind::kNone ? CellRule::kNumber : CellRule::kOther;
        case ColumnKind::kDate:
            return CellRule::kDate;
        case ColumnKind::kBytes:
            break;
    }
    return CellRule::kOther;
}

KeptParam keptText(std::string_view text) {
    return {KeptParam::Kind::kText, static_cast<int>(text.size()), text.data()};
}
KeptParam keptBlob(const std::string& bytes) {
    return {KeptParam::Kind::kBlob, static_cast<int>(bytes.size()), bytes.data()};
}

// Thrown for a value the checks pass but that no kept parameter can carry:
// the row goes the session's way.
struct NotKept {};

// The general conversion's result as a parameter, its memory in `made`.
KeptParam keptValue(SqlValue value, std::string& made) {
    if (std::holds_alternative<std::monostate>(value))
        return {};
    if (auto* text = std::get_if<std::string>(&value)) {
        made = std::move(*text);
        return keptText(made);
    }
    if (const auto* number = std::get_if<Number>(&value)) {
        number->keyInto(made);
        return keptBlob(made);
    }
    throw NotKept{};
}

// A number bound for a NUMBER or FLOAT column: from its units when the
// writer gave them, else from its text; false when the text needs the
// general conversion (blanks around, no number at all).
bool checkBoundNumber(const oracle::BoundNumber& bound, const NumberFit& fit, Number& number,
                      std::string& key) {
    if (bound.exact) {
        if (fittedScaledKeyInto(bound.units, bound.scale, fit, key))
            return true;
        number.assignScaled(bound.units, bound.scale);
    } else if (plainTextKeyInto(bound.text, fit, key)) {
        return true;
    } else if (!number.assignText(bound.text)) {
        return false;
    }
    fitNumber(number, fit);
    number.keyInto(key);
    return true;
}

// One value checked into its parameter: in place where the value comes as
// the column's rule expects, else through the general conversion.
KeptParam checkedParam(const oracle::BoundValue& value, const DirectShape& shape, std::size_t i,
                       std::string& made, Number& scratch) {
    const ColumnTarget& target = shape.targets[i];
    const auto* text = std::get_if<std::string>(&value);
    const bool null = std::holds_alternative<std::monostate>(value) || (text && text->empty());
    if (null && target.column->nullable)
        return {};
    if (!null) {
        switch (shape.rules[i]) {
            case CellRule::kText:
                if (!text)
                    break;
                checkCharacterLength(target, *text);
                return keptText(*text);
            case CellRule::kClob:
                if (!text)
                    break;
                return keptText(*text);
            case CellRule::kNumber:
                if (const auto* number = std::get_if<oracle::BoundNumber>(&value)) {
                    if (checkBoundNumber(*number, shape.fits[i], scratch, made))
                        return keptBlob(made);
                }
                break;
            case CellRule::kDate:
                if (const auto* d = std::get_if<oracle::BoundDateTime>(&value)) {
                    if (storedDateInto(shape.kinds[i],
                                       {d->year, d->month, d->day, d->hour, d->minute, d->second},
                                       made))
                        return keptText(made);
                }
                break;
            case CellRule::kOther:
                break;
        }
    }
    return keptValue(checkedValue(value, shape.kinds[i], target), made);
}

}  // namespace

SqlValue sqlValueOf(const oracle::BoundValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* number = std::get_if<oracle::BoundNumber>(&value)) {
        if (number->exact)
            return Number::fromScaled(number->units, number->scale);
        // Read in place; only a text with blanks around needs parseNumber's copy.
        if (auto plain = Number::parse(number->text))
            return std::move(*plain);
        auto parsed = parseNumber(number->text);
        if (!parsed)
            oraThrow(1722, "invalid number");
        return *parsed;
    }
    if (const auto* d = std::get_if<oracle::BoundDateTime>(&value))
        return formatStoredDate({d->year, d->month, d->day, d->hour, d->minute, d->second});
    if (const auto* bytes = std::get_if<oracle::BoundBytes>(&value))
        return encoding::hexText(bytes->bytes);
    return std::monostate{};
}

SqlValue checkedValue(const oracle::BoundValue& value, ColumnKind kind,
                      const ColumnTarget& target) {
    if (const auto* d = std::get_if<oracle::BoundDateTime>(&value)) {
        if (auto stored =
                storedDateFor(kind, {d->year, d->month, d->day, d->hour, d->minute, d->second}))
            return std::move(*stored);
    }
    return coerceForKind(kind, target, sqlValueOf(value));
}

std::shared_ptr<const DirectShape> shapeOf(const std::string& sql, std::size_t count,
                                           const DirectColumns& direct) {
    auto shape = std::make_shared<DirectShape>();
    shape->sql = sql;
    shape->count = count;
    shape->markers = direct.markers;
    shape->kinds = direct.kinds;
    for (const ColumnTarget* target : direct.targets)
        shape->columns.push_back(*target->column);
    for (std::size_t i = 0; i < direct.targets.size(); ++i) {
        shape->targets.push_back(*direct.targets[i]);
        shape->targets.back().column = &shape->columns[i];
        shape->rules.push_back(cellRuleOf(shape->columns[i], shape->kinds[i]));
        shape->fits.push_back(NumberFit::of(shape->columns[i]));
    }
    return shape;
}

bool fits(const DirectShape& shape, const std::string& sql, std::size_t count,
          const DirectColumns& direct) {
    if (shape.sql != sql || shape.count != count || shape.markers != direct.markers ||
        shape.kinds != direct.kinds)
        return false;
    for (std::size_t i = 0; i < shape.targets.size(); ++i) {
        const ColumnTarget& now = *direct.targets[i];
        const ColumnTarget& then = shape.targets[i];
        if (then.owner != now.owner || then.table != now.table || then.update != now.update ||
            *then.column != *now.column)
            return false;
    }
    return true;
}

void checkRows(const std::shared_ptr<const DirectShape>& shapeHeld,
               const std::vector<oracle::BoundRow>& rows, CheckedRows& into) {
    const DirectShape& shape = *shapeHeld;
    const std::size_t columns = shape.targets.size();
    into.shape = shapeHeld;
    into.rows = rows.data();
    into.rowCount = rows.size();
    // Sized before any parameter points into `made`.
    into.params.resize(rows.size() * columns);
    if (into.made.size() < rows.size() * columns)
        into.made.resize(rows.size() * columns);
    into.ready.assign(rows.size(), 0);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const oracle::BoundRow& row = rows[r];
        if (row.size() != shape.count)
            continue;
        try {
            for (std::size_t i = 0; i < columns; ++i) {
                const std::size_t at = r * columns + i;
                into.params[at] =
                    checkedParam(row[shape.markers[i]], shape, i, into.made[at], into.number);
            }
            into.ready[r] = 1;
        } catch (...) {
            // The session's own run of the row gives its error.
        }
    }
}

}  // namespace malvorn::localserver
