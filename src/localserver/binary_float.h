#pragma once
// BINARY_DOUBLE and BINARY_FLOAT values. The server holds one as the
// shortest decimal that reads back as the same binary value, a NUMBER: so
// it compares, sorts and keys as numbers do, and turning it back into binary
// is exact. Infinities and NaN are Number's own values beyond the numbers;
// magnitudes a NUMBER cannot hold (past 1E126, below 1E-130) are refused.
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "localserver/number.h"

namespace malvorn::localserver {

enum class BinaryKind { kNone, kFloat, kDouble };  // in Oracle's order of precedence

// `n` rounded to the nearest binary value of the kind; ORA-01426 past what
// the server holds.
Number toBinary(const Number& n, BinaryKind kind);
// A literal's digits (no suffix) read as the kind; nullopt when they are not a number.
std::optional<Number> binaryFromText(const std::string& text, BinaryKind kind);
// Text converted to the kind, as TO_BINARY_DOUBLE and a binary column take
// it: a number, or 'INF', '-INF', 'NaN' in any case; ORA-01722 for others.
Number binaryFromString(const std::string& text, BinaryKind kind);
// BINARY_DOUBLE_INFINITY, BINARY_FLOAT_NAN and the like, with an optional
// leading '-': the value and its kind; nullopt for other words.
std::optional<std::pair<Number, BinaryKind>> binaryConstant(const std::string& word);
// a op b (op one of + - * /) computed in the kind's binary arithmetic.
Number binaryArithmetic(char op, const Number& a, const Number& b, BinaryKind kind);
// TO_CHAR without a format: "1.5E+000", the fewest significant digits that
// read back as the value, at least one after the point; "0" for zero.
std::string binaryText(const Number& n, BinaryKind kind);

// The aggregate of SUM or AVG (`name`) over values of kind `kind`: exact
// sums for kNone, IEEE sums of the type for the others; with `distinct`, the
// window function over a whole partition's distinct values.
std::string sumFunction(const std::string& name, BinaryKind kind, bool distinct = false);

// SUM and AVG of binary values, added one at a time in the order given in
// the kind's IEEE arithmetic (BINARY_FLOAT's sum is a float's).
class BinarySumOf {
  public:
    explicit BinarySumOf(BinaryKind kind) : kind_(kind) {}
    void add(const Number& n);
    void add(double value);
    std::size_t count() const { return count_; }
    // The sum or the average; count() must not be 0.
    Number result(bool average) const;

  private:
    BinaryKind kind_;
    double sum_ = 0;
    float floatSum_ = 0;
    std::size_t count_ = 0;
};

// The kind of a column's data type, kNone for the others.
BinaryKind binaryKindOf(const std::string& dataType);
// The data type of a kind other than kNone: BINARY_DOUBLE or BINARY_FLOAT.
const char* binaryTypeName(BinaryKind kind);
// The suffix of a literal (1.5d, 2e3f), kNone without one.
BinaryKind binaryLiteralKind(const std::string& literal);

}  // namespace malvorn::localserver
