#include "localserver/number_fit.h"

#include <array>

#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

constexpr int kMaxFastScale = 18;
// Well inside what a Number holds (below 1E126, down to 1E-130), so that
// nothing read the short way overflows or becomes zero.
constexpr int kMaxFastPoint = 120;
constexpr int kMaxFastDigits = 38;
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

// "00" to "99", for writing digits two at a time.
constexpr auto kDigitPairs = [] {
    std::array<char, 200> pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
        pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}();

// The decimal digits of `magnitude` written to end at `end`; where they begin.
// From the last pair back, without counting them first as to_chars does.
char* digitsBefore(char* end, std::uint64_t magnitude) {
    while (magnitude >= 100) {
        const auto pair = static_cast<std::size_t>(magnitude % 100) * 2;
        magnitude /= 100;
        *--end = kDigitPairs[pair + 1];
        *--end = kDigitPairs[pair];
    }
    if (magnitude >= 10) {
        *--end = kDigitPairs[magnitude * 2 + 1];
        *--end = kDigitPairs[magnitude * 2];
    } else {
        *--end = static_cast<char>('0' + magnitude);
    }
    return end;
}

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
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    const char* const digits = digitsBefore(end, magnitude);
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

namespace {

bool isAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

// The exponent after an 'e', at most a few digits; false when malformed.
bool readSmallExponent(std::string_view text, std::size_t at, int& exponent) {
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    if (at == text.size() || text.size() - at > 4)
        return false;
    exponent = 0;
    for (; at < text.size(); ++at) {
        if (!isAsciiDigit(text[at]))
            return false;
        exponent = exponent * 10 + (text[at] - '0');
    }
    if (negative)
        exponent = -exponent;
    return true;
}

}  // namespace

bool plainTextKeyInto(std::string_view text, const NumberFit& fit, std::string& key) {
    if (fit.constrained)
        return false;
    // Each run of digits scanned whole, then copied: a copy reads a double's
    // text for every row.
    const char* at = text.data();
    const char* const end = at + text.size();
    const bool negative = at != end && *at == '-';
    at += negative ? 1 : 0;
    const auto digitsFrom = [end](const char* from) {
        while (from != end && isAsciiDigit(*from))
            ++from;
        return from;
    };
    const char* whole = at;
    const char* wholeEnd = digitsFrom(whole);
    const char* fraction = wholeEnd;
    const char* fractionEnd = wholeEnd;
    if (fraction != end && *fraction == '.')
        fractionEnd = digitsFrom(++fraction);
    if (wholeEnd == whole && fractionEnd == fraction)
        return false;
    int exponent = 0;
    if (fractionEnd != end && ((*fractionEnd != 'e' && *fractionEnd != 'E') ||
                               !readSmallExponent(text, fractionEnd + 1 - text.data(), exponent)))
        return false;
    while (whole != wholeEnd && *whole == '0')
        ++whole;
    int point = static_cast<int>(wholeEnd - whole);  // value = 0.digits x 10^point
    if (whole == wholeEnd) {
        // Below one: the fraction's leading zeros move the point.
        const char* first = fraction;
        while (first != fractionEnd && *first == '0')
            ++first;
        point = -static_cast<int>(first - fraction);
        fraction = first;
    }
    while (fractionEnd != fraction && fractionEnd[-1] == '0')
        --fractionEnd;
    char digits[kMaxFastDigits];
    int count = 0;
    if (fractionEnd == fraction) {
        while (wholeEnd != whole && wholeEnd[-1] == '0')
            --wholeEnd;
    }
    if ((wholeEnd - whole) + (fractionEnd - fraction) > kMaxFastDigits)
        return false;
    for (; whole != wholeEnd; ++whole)
        digits[count++] = *whole;
    for (; fraction != fractionEnd; ++fraction)
        digits[count++] = *fraction;
    point += exponent;
    if (count > 0 && (point > kMaxFastPoint || point < -kMaxFastPoint))
        return false;
    Number::finiteKeyInto(negative && count > 0, point,
                          std::string_view(digits, static_cast<std::size_t>(count)), key);
    return true;
}

}  // namespace malvorn::localserver
