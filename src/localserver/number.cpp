#include "localserver/number.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "localserver/errors.h"

namespace malvorn::localserver {
namespace {

constexpr int kMaxPoint = 126;   // below 1E126
constexpr int kMinPoint = -129;  // 1E-130 = 0.1 x 10^-129
constexpr long kMaxExponent = 100000;

// Unsigned decimal magnitudes, most significant digit first.
std::string stripLeading(std::string s) {
    // In place: a copy's digits are parsed and stripped for every NUMBER sent.
    s.erase(0, std::min(s.find_first_not_of('0'), s.size()));
    return s;
}

int compareMagnitude(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string addMagnitude(const std::string& a, const std::string& b) {
    std::string out(std::max(a.size(), b.size()) + 1, '0');
    int carry = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        int sum = carry;
        if (i < a.size())
            sum += a[a.size() - 1 - i] - '0';
        if (i < b.size())
            sum += b[b.size() - 1 - i] - '0';
        out[out.size() - 1 - i] = static_cast<char>('0' + sum % 10);
        carry = sum / 10;
    }
    return stripLeading(out);
}

// a - b for a >= b.
std::string subtractMagnitude(const std::string& a, const std::string& b) {
    std::string out = a;
    int borrow = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        int d = out[out.size() - 1 - i] - '0' - borrow;
        if (i < b.size())
            d -= b[b.size() - 1 - i] - '0';
        borrow = d < 0 ? 1 : 0;
        out[out.size() - 1 - i] = static_cast<char>('0' + d + borrow * 10);
    }
    return stripLeading(out);
}

std::string multiplyMagnitude(const std::string& a, const std::string& b) {
    std::vector<int> acc(a.size() + b.size(), 0);
    for (std::size_t i = 0; i < a.size(); ++i) {
        for (std::size_t j = 0; j < b.size(); ++j)
            acc[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    }
    for (std::size_t k = acc.size() - 1; k > 0; --k) {
        acc[k - 1] += acc[k] / 10;
        acc[k] %= 10;
    }
    std::string out;
    for (const int d : acc)
        out += static_cast<char>('0' + d);
    return stripLeading(out);
}

// The quotient of long division, the remainder dropped.
std::string divideMagnitude(const std::string& n, const std::string& d) {
    std::string quotient;
    std::string rest;
    for (const char c : n) {
        rest = stripLeading(rest + c);
        int q = 0;
        while (compareMagnitude(rest, d) >= 0) {
            rest = subtractMagnitude(rest, d);
            ++q;
        }
        quotient += static_cast<char>('0' + q);
    }
    return stripLeading(quotient);
}

// Aligns two numbers' digits on the smaller exponent.
std::pair<std::string, std::string> aligned(const std::string& a, long ea, const std::string& b,
                                            long eb, long& exponent) {
    exponent = std::min(ea, eb);
    return {a + std::string(static_cast<std::size_t>(ea - exponent), '0'),
            b + std::string(static_cast<std::size_t>(eb - exponent), '0')};
}

}  // namespace

Number Number::make(bool negative, std::string digits, long exponent) {
    Number n;
    n.digits_ = stripLeading(std::move(digits));
    n.place(negative, exponent);
    return n;
}

void Number::place(bool negative, long exponent) {
    special_ = Special::kNone;  // a number reused for another value
    const long point = exponent + static_cast<long>(digits_.size());
    if (!digits_.empty() && point > kMaxPoint + 1)
        oraThrow(1426, "numeric overflow");
    if (digits_.empty() || point < kMinPoint - 1) {
        digits_.clear();
        negative_ = false;
        point_ = 0;
        return;
    }
    negative_ = negative;
    point_ = static_cast<int>(point);
    normalize();
}

void Number::roundDigits(long keep) {
    if (keep < 0) {
        digits_.clear();
    } else if (keep < static_cast<long>(digits_.size())) {
        const bool up = digits_[static_cast<std::size_t>(keep)] >= '5';
        digits_.resize(static_cast<std::size_t>(keep));
        if (up) {
            long i = keep - 1;
            while (i >= 0 && digits_[static_cast<std::size_t>(i)] == '9')
                digits_[static_cast<std::size_t>(i--)] = '0';
            if (i < 0) {
                digits_.insert(digits_.begin(), '1');
                ++point_;
            } else {
                ++digits_[static_cast<std::size_t>(i)];
            }
        }
    }
    while (!digits_.empty() && digits_.back() == '0')
        digits_.pop_back();
}

void Number::normalize() {
    // Twenty base-100 digits: one decimal digit fewer when the point splits a pair.
    roundDigits(point_ % 2 != 0 ? 39 : 40);
    if (!digits_.empty() && point_ > kMaxPoint)
        oraThrow(1426, "numeric overflow");
    if (digits_.empty() || point_ < kMinPoint) {
        digits_.clear();
        negative_ = false;
        point_ = 0;
    }
}

Number Number::fromInt(std::int64_t value) {
    const bool negative = value < 0;
    std::string digits = std::to_string(value);
    if (negative)
        digits.erase(0, 1);
    return make(negative, std::move(digits), 0);
}

Number Number::infinity(bool negative) {
    Number n;
    n.special_ = Special::kInfinity;
    n.negative_ = negative;
    return n;
}

Number Number::nan() {
    Number n;
    n.special_ = Special::kNaN;
    return n;
}

const Number& Number::requireFinite() const {
    if (!isFinite())
        oraThrow(1426, "numeric overflow");
    return *this;
}

namespace {

// An operation with an infinity or NaN operand, in IEEE arithmetic: its
// result is one of them again, or zero (1 / Inf).
Number ieee(char op, const Number& a, const Number& b) {
    const double x = a.toDouble();
    const double y = b.toDouble();
    const double r = op == '+' ? x + y : op == '*' ? x * y : x / y;
    if (std::isnan(r))
        return Number::nan();
    if (std::isinf(r))
        return Number::infinity(r < 0);
    return Number();
}

}  // namespace

Number Number::fromScaled(std::int64_t units, int scale) {
    Number n;
    n.assignScaled(units, scale);
    return n;
}

void Number::assignScaled(std::int64_t units, int scale) {
    // Unsigned, so that the most negative value keeps its magnitude.
    const bool negative = units < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(units) : static_cast<std::uint64_t>(units);
    char buffer[24];
    char* end = std::to_chars(buffer, buffer + sizeof buffer, magnitude).ptr;
    if (magnitude == 0)
        end = buffer;
    digits_.assign(buffer, end);
    place(negative, -static_cast<long>(scale));
}

std::optional<Number> Number::parse(std::string_view text) {
    Number n;
    if (!n.assignText(text))
        return std::nullopt;
    return n;
}

bool Number::assignText(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    // Digits, one optional point, digits: each run taken whole (a copy
    // parses every NUMBER it sends), the leading zeros left out.
    const auto digitsFrom = [&text](std::size_t at) {
        while (at < text.size() && text[at] >= '0' && text[at] <= '9')
            ++at;
        return at;
    };
    const std::size_t wholeEnd = digitsFrom(i);
    std::size_t fractionBegin = wholeEnd;
    std::size_t fractionEnd = wholeEnd;
    if (wholeEnd < text.size() && text[wholeEnd] == '.') {
        fractionBegin = wholeEnd + 1;
        fractionEnd = digitsFrom(fractionBegin);
    }
    const bool anyDigit = wholeEnd > i || fractionEnd > fractionBegin;
    long fraction = static_cast<long>(fractionEnd - fractionBegin);
    std::string& digits = digits_;
    digits.clear();
    const std::string_view whole = text.substr(i, wholeEnd - i);
    const std::string_view part = text.substr(fractionBegin, fractionEnd - fractionBegin);
    digits.append(whole.substr(std::min(whole.find_first_not_of('0'), whole.size())));
    digits.append(digits.empty() ? part.substr(std::min(part.find_first_not_of('0'), part.size()))
                                 : part);
    i = fractionEnd;
    if (!anyDigit)
        return false;
    long exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            expNegative = text[i++] == '-';
        if (i >= text.size())
            return false;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), kMaxExponent);
        if (expNegative)
            exponent = -exponent;
    }
    if (i != text.size())
        return false;
    // Digits past what a number holds cannot change its rounding to 40 digits
    // but can make the text long; keep a few beyond, noting any non-zero tail.
    if (digits.size() > 48) {
        const bool tail = digits.find_first_not_of('0', 48) != std::string::npos;
        fraction -= static_cast<long>(digits.size()) - 48;
        digits.resize(48);
        if (tail && digits.back() == '0')
            digits.back() = '1';
    }
    place(negative, exponent - fraction);
    return true;
}

std::string Number::key() const {
    std::string key;
    keyInto(key);
    return key;
}

void Number::keyInto(std::string& key) const {
    // Below every negative key (all longer, from 0x00), above every positive one.
    if (special_ != Special::kNone) {
        key.assign(1, special_ == Special::kNaN ? '\x04' : negative_ ? '\x00' : '\x03');
        return;
    }
    finiteKeyInto(negative_, point_, digits_, key);
}

void Number::finiteKeyInto(bool negative, int point, std::string_view digits, std::string& key) {
    if (digits.empty()) {
        key.assign(1, '\x01');
        return;
    }
    // Sized once and written in place: a copy makes a key for every number it sends.
    const std::size_t size = digits.size() + (negative ? 3 : 2);
    if (key.size() != size)
        key.resize(size);
    const auto exponentByte = static_cast<unsigned char>(point - kMinPoint);
    if (!negative) {
        key[0] = '\x02';
        key[1] = static_cast<char>(exponentByte);
        digits.copy(key.data() + 2, digits.size());
        return;
    }
    // Negative numbers: everything inverted, and a terminator above every
    // digit so that -1 sorts after -1.5.
    key[0] = '\x00';
    key[1] = static_cast<char>(255 - exponentByte);
    for (std::size_t i = 0; i < digits.size(); ++i)
        key[i + 2] = static_cast<char>('0' + ('9' - digits[i]));
    key.back() = '\xFF';
}

Number Number::fromKey(std::string_view key) {
    Number n;
    if (key.size() == 1 && key[0] != '\x01')
        return key[0] == '\x04' ? nan() : infinity(key[0] == '\x00');
    if (key.size() < 3 || key[0] == '\x01')
        return n;
    n.negative_ = key[0] == '\x00';
    const auto exponentByte = static_cast<unsigned char>(key[1]);
    n.point_ = (n.negative_ ? 255 - exponentByte : exponentByte) + kMinPoint;
    const std::string_view digits = key.substr(2, key.size() - (n.negative_ ? 3 : 2));
    for (const char c : digits)
        n.digits_ += n.negative_ ? static_cast<char>('0' + ('9' - c)) : c;
    return n;
}

std::string Number::text() const {
    if (special_ != Special::kNone)
        return isNaN() ? "Nan" : negative_ ? "-Inf" : "Inf";
    if (digits_.empty())
        return "0";
    std::string out = negative_ ? "-" : "";
    const auto count = static_cast<int>(digits_.size());
    const int width = point_ <= 0 ? 2 - point_ + count : std::max(point_, count + 1);
    if (width > 64) {
        out += digits_.substr(0, 1);
        if (count > 1)
            out += "." + digits_.substr(1);
        const int e = point_ - 1;
        const std::string exponent = std::to_string(e < 0 ? -e : e);
        return out + (e < 0 ? "E-" : "E+") + (exponent.size() < 2 ? "0" : "") + exponent;
    }
    if (point_ <= 0)
        return out + "0." + std::string(static_cast<std::size_t>(-point_), '0') + digits_;
    if (point_ >= count)
        return out + digits_ + std::string(static_cast<std::size_t>(point_ - count), '0');
    return out + digits_.substr(0, static_cast<std::size_t>(point_)) + "." +
           digits_.substr(static_cast<std::size_t>(point_));
}

std::optional<std::int64_t> Number::toInt() const {
    if (special_ != Special::kNone)
        return std::nullopt;
    if (digits_.empty())
        return 0;
    if (exponent() < 0 || point_ > 19)
        return std::nullopt;
    const std::string whole =
        (negative_ ? "-" : "") + digits_ + std::string(static_cast<std::size_t>(exponent()), '0');
    std::int64_t value = 0;
    const auto result = std::from_chars(whole.data(), whole.data() + whole.size(), value);
    if (result.ec != std::errc() || result.ptr != whole.data() + whole.size())
        return std::nullopt;
    return value;
}

double Number::toDouble() const {
    if (isNaN())
        return std::nan("");
    if (isInfinite())
        return negative_ ? -HUGE_VAL : HUGE_VAL;
    const std::string plain = (negative_ ? "-0." : "0.") + digits_ + "e" + std::to_string(point_);
    return std::strtod(plain.c_str(), nullptr);
}

Number Number::rounded(int places) const {
    Number n = *this;
    n.round(places);
    return n;
}

void Number::round(int places) {
    if (special_ != Special::kNone)
        return;
    const long keep = static_cast<long>(point_) + places;
    if (keep >= static_cast<long>(digits_.size()))
        return;  // nothing past the place: as it is
    roundDigits(keep);
    if (digits_.empty())
        *this = Number();
    else
        normalize();
}

Number Number::truncated(int places) const {
    if (special_ != Special::kNone)
        return *this;
    const long keep = static_cast<long>(point_) + places;
    if (keep <= 0)
        return Number();
    if (keep >= static_cast<long>(digits_.size()))
        return *this;
    return make(negative_, digits_.substr(0, static_cast<std::size_t>(keep)), point_ - keep);
}

Number Number::negated() const {
    Number n = *this;
    if (!n.digits_.empty() || n.isInfinite())
        n.negative_ = !n.negative_;
    return n;
}

Number Number::abs() const {
    Number n = *this;
    n.negative_ = false;
    return n;
}

Number operator+(const Number& a, const Number& b) {
    if (!a.isFinite() || !b.isFinite())
        return ieee('+', a, b);
    if (a.isZero())
        return b;
    if (b.isZero())
        return a;
    long exponent = 0;
    auto [x, y] = aligned(a.digits_, a.exponent(), b.digits_, b.exponent(), exponent);
    if (a.negative_ == b.negative_)
        return Number::make(a.negative_, addMagnitude(x, y), exponent);
    if (compareMagnitude(x, y) >= 0)
        return Number::make(a.negative_, subtractMagnitude(x, y), exponent);
    return Number::make(b.negative_, subtractMagnitude(y, x), exponent);
}

Number operator-(const Number& a, const Number& b) {
    return a + b.negated();
}

Number operator*(const Number& a, const Number& b) {
    if (!a.isFinite() || !b.isFinite())
        return ieee('*', a, b);
    if (a.isZero() || b.isZero())
        return Number();
    return Number::make(a.negative_ != b.negative_, multiplyMagnitude(a.digits_, b.digits_),
                        a.exponent() + b.exponent());
}

Number operator/(const Number& a, const Number& b) {
    if (!a.isFinite() || !b.isFinite())
        return ieee('/', a, b);
    if (b.isZero())
        oraThrow(1476, "divisor is equal to zero");
    if (a.isZero())
        return Number();
    // At least 42 quotient digits: the 41st decides the rounding.
    const long shift = std::max<long>(0, static_cast<long>(b.digits_.size()) -
                                             static_cast<long>(a.digits_.size())) +
                       42;
    const std::string numerator = a.digits_ + std::string(static_cast<std::size_t>(shift), '0');
    return Number::make(a.negative_ != b.negative_, divideMagnitude(numerator, b.digits_),
                        a.exponent() - b.exponent() - shift);
}

Number Number::mod(const Number& a, const Number& b) {
    a.requireFinite();
    b.requireFinite();
    if (b.isZero())
        return a;
    const Number quotient = (a / b).truncated(0);
    return a - quotient * b;
}

int Number::compare(const Number& a, const Number& b) {
    const int c = a.key().compare(b.key());
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace malvorn::localserver
