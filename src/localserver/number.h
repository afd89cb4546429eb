#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace malvorn::localserver {

// A NUMBER as the server holds it: an exact decimal of up to 40 significant
// digits (20 base-100 digits, so 39 when the first pair has a leading zero),
// between 1E-130 and 9.99...E125. Smaller magnitudes become 0; larger ones
// are ORA-01426. Every result is rounded half away from zero to that
// precision, so arithmetic gives what the server gives.
//
// It also holds the three values a BINARY_DOUBLE or BINARY_FLOAT has beyond
// numbers: -Inf, +Inf and NaN, keyed below, above and above every other value
// (NaN equals NaN and is greater than +Inf, as the server orders them). An
// operation on one is IEEE's: Inf + 1 is Inf, Inf - Inf is NaN.
class Number {
  public:
    Number() = default;  // zero
    static Number fromInt(std::int64_t value);
    static Number infinity(bool negative);
    static Number nan();
    // units x 10^-scale: what parse gives for that value's text.
    static Number fromScaled(std::int64_t units, int scale);
    // fromScaled and parse into this number, in the memory it holds: a
    // copy checks a number for every value it sends. On false (no number)
    // the value is left unspecified.
    void assignScaled(std::int64_t units, int scale);
    bool assignText(std::string_view text);
    // Sign, digits with one optional point, optional exponent; no blanks.
    // nullopt when the text is not a number; ORA-01426 when out of range.
    static std::optional<Number> parse(std::string_view text);

    // A key whose byte order is the numeric order, stored as a SQLite BLOB
    // so that comparisons, sorting, DISTINCT and keys need no function call.
    std::string key() const;
    // The same into `key`, in the memory it holds.
    void keyInto(std::string& key) const;
    // The key of the finite number 0.digits x 10^point (digits without
    // leading or trailing zeros, empty for zero), for a writer that has the
    // digits without a Number.
    static void finiteKeyInto(bool negative, int point, std::string_view digits, std::string& key);
    static Number fromKey(std::string_view key);

    // Text as the server converts a number to VARCHAR2: plain decimal, no
    // trailing zeros; scientific notation only past 64 characters; Inf,
    // -Inf and Nan for the others.
    std::string text() const;

    bool isZero() const { return digits_.empty() && special_ == Special::kNone; }
    bool isFinite() const { return special_ == Special::kNone; }
    bool isNaN() const { return special_ == Special::kNaN; }
    bool isInfinite() const { return special_ == Special::kInfinity; }
    // ORA-01426 for an infinity or NaN, where only a NUMBER may go.
    const Number& requireFinite() const;
    bool negative() const { return negative_; }
    // Digits before the point (0 for |x| < 1): value < 10^magnitude().
    int magnitude() const { return digits_.empty() ? 0 : point_; }
    std::optional<std::int64_t> toInt() const;  // whole numbers within int64 only
    double toDouble() const;

    // ROUND and TRUNC leave an infinity or NaN as it is.
    Number rounded(int places) const;    // ROUND(n, places)
    void round(int places);              // the same in place
    Number truncated(int places) const;  // TRUNC(n, places)
    Number negated() const;
    Number abs() const;

    friend Number operator+(const Number& a, const Number& b);
    friend Number operator-(const Number& a, const Number& b);
    friend Number operator*(const Number& a, const Number& b);
    // ORA-01476 for a zero divisor.
    friend Number operator/(const Number& a, const Number& b);
    // MOD as the server has it: the sign of a; a itself when b is 0.
    // ORA-01426 for an infinity or NaN, which it does not define here.
    static Number mod(const Number& a, const Number& b);
    static int compare(const Number& a, const Number& b);
    friend bool operator==(const Number& a, const Number& b) = default;

  private:
    enum class Special : std::uint8_t { kNone, kInfinity, kNaN };
    // value = magnitude digits x 10^exponent, before normalisation.
    static Number make(bool negative, std::string digits, long exponent);
    // The sign and point of digits_ (no leading zeros) times 10^exponent,
    // checked against the range and normalised.
    void place(bool negative, long exponent);
    void normalize();
    void roundDigits(long keep);
    long exponent() const { return static_cast<long>(point_) - static_cast<long>(digits_.size()); }

    bool negative_ = false;
    Special special_ = Special::kNone;  // digits_ empty when not kNone
    std::string digits_;                // no leading or trailing zeros; empty for zero
    int point_ = 0;                     // value = 0.digits x 10^point
};

}  // namespace malvorn::localserver
