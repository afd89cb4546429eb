#include "localserver/number_fit.h"

#include <charconv>

#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

constexpr int kMaxFastScale = 18;
// 10^0 to 10^19, all that a uint64 holds.
constexpr std::uint64_t kPowersOfTen[] = {1ULL,
                                          10ULL,
                                          100ULL,
                                          1000ULL,
                                          10000ULL,
                                          100000ULL,
                                          1000000ULL,
                                          10000000ULL,
                                          100000000ULL,
                                          1000000000ULL,
                                          10000000000ULL,
                                          100000000000ULL,
                                          1000000000000ULL,
                                          10000000000000ULL,
                                          100000000000000ULL,
                                          1000000000000000ULL,
                                          10000000000000000ULL,
                                          100000000000000000ULL,
                                          1000000000000000000ULL,
                                          10000000000000000000ULL};

// `magnitude` x 10^-drop rounded half away from zero, as Number::round does.
std::uint64_t roundedDown(std::uint64_t magnitude, int drop) {
    if (drop <= 0)
        return magnitude;
    if (drop > 19)
        return 0;  // below half of 10^20 > every uint64
    const std::uint64_t unit = kPowersOfTen[drop];
    const std::uint64_t whole = magnitude / unit;
    return magnitude % unit >= unit / 2 ? whole + 1 : whole;
}

}  // namespace

NumberFit NumberFit::of(const ColumnDef& column) {
    NumberFit fit;
    fit.constrained = column.dataType != "FLOAT" && (column.precision || column.scale);
    fit.scale = column.scale.value_or(0);
    fit.precision = column.precision.value_or(38);
    return fit;
}

void fitNumber(Number& number, const NumberFit& fit) {
    number.requireFinite();  // a NUMBER holds no infinity or NaN
    if (!fit.constrained)
        return;
    number.round(fit.scale);
    if (!number.isZero() && number.magnitude() > fit.precision - fit.scale)
        oraThrow(1438, "value larger than specified precision allowed for this column");
}

bool fittedScaledKeyInto(std::int64_t units, int scale, const NumberFit& fit, std::string& key) {
    if (scale < 0 || scale > kMaxFastScale)
        return false;
    // Unsigned, so that the most negative value keeps its magnitude.
    const bool negative = units < 0;
    std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    if (fit.constrained && fit.scale < scale) {
        magnitude = roundedDown(magnitude, scale - fit.scale);
        scale = fit.scale;
    }
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    auto count = static_cast<int>(end - digits);
    const int point = count - scale;  // value = 0.digits x 10^point
    if (magnitude == 0) {
        count = 0;
    } else if (fit.constrained && point > fit.precision - fit.scale) {
        return false;
    }
    while (count > 0 && digits[count - 1] == '0')
        --count;
    Number::finiteKeyInto(negative && count > 0, point,
                          std::string_view(digits, static_cast<std::size_t>(count)), key);
    return true;
}

}  // namespace malvorn::localserver
