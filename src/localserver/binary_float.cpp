#include "localserver/binary_float.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <deque>

#include "localserver/errors.h"
#include "localserver/function_registry.h"
#include "localserver/values.h"

namespace malvorn::localserver {
namespace {

// The shortest text that reads back as `value` in the kind's precision
// (to_chars gives it).
std::string shortest(double value, BinaryKind kind, std::chars_format format) {
    char buffer[64];
    const auto end =
        kind == BinaryKind::kFloat
            ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(value), format).ptr
            : std::to_chars(buffer, buffer + sizeof buffer, value, format).ptr;
    return std::string(buffer, end);
}

Number held(double value, BinaryKind kind) {
    if (std::isnan(value))
        return Number::nan();
    if (std::isinf(value))
        return Number::infinity(value < 0);
    const auto n = Number::parse(shortest(value, kind, std::chars_format::general));
    // Below 1E-130 a NUMBER is 0: refused rather than lost.
    if (!n || (n->isZero() && value != 0))
        oraThrow(1426, "numeric overflow");
    return *n;
}

double binaryValue(const Number& n, BinaryKind kind) {
    if (!n.isFinite())
        return n.toDouble();
    const std::string text = n.text();
    return kind == BinaryKind::kFloat ? std::strtof(text.c_str(), nullptr)
                                      : std::strtod(text.c_str(), nullptr);
}

}  // namespace

Number toBinary(const Number& n, BinaryKind kind) {
    return held(binaryValue(n, kind), kind);
}

std::optional<Number> binaryFromText(const std::string& text, BinaryKind kind) {
    char* end = nullptr;
    const double value = kind == BinaryKind::kFloat ? std::strtof(text.c_str(), &end)
                                                    : std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() ||
        text.find_first_of("xXnNiI") != std::string::npos)
        return std::nullopt;
    return held(value, kind);
}

Number binaryFromString(const std::string& text, BinaryKind kind) {
    const std::size_t begin = text.find_first_not_of(' ');
    const std::size_t end = text.find_last_not_of(' ');
    std::string word = begin == std::string::npos ? "" : text.substr(begin, end - begin + 1);
    for (char& c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (word == "INF" || word == "-INF")
        return Number::infinity(word[0] == '-');
    if (word == "NAN")
        return Number::nan();
    const auto n = numberOf(text);
    if (!n)
        oraThrow(1722, "invalid number");
    return toBinary(*n, kind);
}

std::optional<std::pair<Number, BinaryKind>> binaryConstant(const std::string& word) {
    const std::size_t signs = std::min(word.find_first_not_of('-'), word.size());
    const bool negative = signs % 2 != 0;
    const std::string name = word.substr(signs);
    const BinaryKind kind = name.starts_with("BINARY_DOUBLE_")  ? BinaryKind::kDouble
                            : name.starts_with("BINARY_FLOAT_") ? BinaryKind::kFloat
                                                                : BinaryKind::kNone;
    if (kind == BinaryKind::kNone)
        return std::nullopt;
    const std::string value = name.substr(name.find('_', 7) + 1);
    if (value == "INFINITY")
        return std::pair{Number::infinity(negative), kind};
    if (value == "NAN")
        return std::pair{Number::nan(), kind};
    return std::nullopt;
}

Number binaryArithmetic(char op, const Number& a, const Number& b, BinaryKind kind) {
    const double x = binaryValue(a, kind);
    const double y = binaryValue(b, kind);
    const auto apply = [op](auto l, auto r) {
        return op == '+' ? l + r : op == '-' ? l - r : op == '*' ? l * r : l / r;
    };
    if (kind == BinaryKind::kFloat)
        return held(apply(static_cast<float>(x), static_cast<float>(y)), kind);
    return held(apply(x, y), kind);
}

std::string binaryText(const Number& n, BinaryKind kind) {
    if (!n.isFinite())
        return n.text();
    const double value = binaryValue(n, kind);
    if (value == 0)
        return "0";
    const std::string text = shortest(value, kind, std::chars_format::scientific);
    // to_chars writes 1.5e+00 or 1e+03: a digit after the point, three in the exponent.
    const std::size_t e = text.find('e');
    std::string mantissa = text.substr(0, e);
    if (mantissa.find('.') == std::string::npos)
        mantissa += ".0";
    const int exponent = std::stoi(text.substr(e + 1));
    std::string digits = std::to_string(std::abs(exponent));
    digits.insert(0, 3 - std::min<std::size_t>(3, digits.size()), '0');
    return mantissa + "E" + (exponent < 0 ? "-" : "+") + digits;
}

BinaryKind binaryKindOf(const std::string& dataType) {
    return dataType == "BINARY_DOUBLE"  ? BinaryKind::kDouble
           : dataType == "BINARY_FLOAT" ? BinaryKind::kFloat
                                        : BinaryKind::kNone;
}

std::string sumFunction(const std::string& name, BinaryKind kind, bool distinct) {
    const std::string fn =
        std::string(name == "SUM" ? "mv_sum" : "mv_avg") + (distinct ? "_distinct" : "");
    return kind == BinaryKind::kNone    ? fn
           : kind == BinaryKind::kFloat ? fn + "_float"
                                        : fn + "_double";
}

void BinarySumOf::add(const Number& n) {
    add(binaryValue(n, kind_));
}

void BinarySumOf::add(double value) {
    ++count_;
    if (kind_ == BinaryKind::kFloat)
        floatSum_ += static_cast<float>(value);
    else
        sum_ += value;
}

Number BinarySumOf::result(bool average) const {
    if (kind_ == BinaryKind::kFloat)
        return held(average ? floatSum_ / static_cast<float>(count_) : floatSum_, kind_);
    return held(average ? sum_ / static_cast<double>(count_) : sum_, kind_);
}

const char* binaryTypeName(BinaryKind kind) {
    return kind == BinaryKind::kFloat ? "BINARY_FLOAT" : "BINARY_DOUBLE";
}

BinaryKind binaryLiteralKind(const std::string& literal) {
    if (literal.empty())
        return BinaryKind::kNone;
    if (const auto constant = binaryConstant(literal))
        return constant->second;
    const char last = literal.back();
    return last == 'd' || last == 'D'   ? BinaryKind::kDouble
           : last == 'f' || last == 'F' ? BinaryKind::kFloat
                                        : BinaryKind::kNone;
}

namespace {

BinaryKind kindArg(const SqlValue& v) {
    return std::get<std::int64_t>(v) != 0 ? BinaryKind::kFloat : BinaryKind::kDouble;
}

SqlValue binaryOp(const TableById&, const FunctionArgs& a) {
    if (isNull(a[1]) || isNull(a[2]))
        return SqlValue();
    return binaryArithmetic(valueToText(a[0]).at(0), *numberArg(a[1]), *numberArg(a[2]),
                            kindArg(a[3]));
}

SqlValue toBinaryValue(const TableById&, const FunctionArgs& a) {
    if (isNullOrEmpty(a[0]))
        return SqlValue();
    if (const auto* text = std::get_if<std::string>(&a[0]))
        return binaryFromString(*text, kindArg(a[1]));
    return toBinary(*numberArg(a[0]), kindArg(a[1]));
}

SqlValue binaryTextValue(const TableById&, const FunctionArgs& a) {
    if (isNull(a[0]))
        return SqlValue();
    return binaryText(*numberArg(a[0]), kindArg(a[1]));
}

SqlValue isNanValue(const TableById&, const FunctionArgs& a) {
    const auto n = numberArg(a[0]);
    return n ? SqlValue(std::int64_t{n->isNaN()}) : SqlValue();
}

SqlValue isInfiniteValue(const TableById&, const FunctionArgs& a) {
    const auto n = numberArg(a[0]);
    return n ? SqlValue(std::int64_t{n->isInfinite()}) : SqlValue();
}

const FunctionEntry kBinaryEntries[] = {
    {ServerFunction::kBinaryOp, "mv_binary_op", 4, binaryOp},
    {ServerFunction::kToBinary, "mv_to_binary", 2, toBinaryValue},
    {ServerFunction::kBinaryText, "mv_binary_text", 2, binaryTextValue},
    {ServerFunction::kIsNan, "mv_is_nan", 1, isNanValue},
    {ServerFunction::kIsInfinite, "mv_is_infinite", 1, isInfiniteValue},
};

// SUM and AVG of binary values: the IEEE sum of the values in the order
// they came, in the kind's arithmetic. The window's values are kept, as an
// IEEE sum cannot take a value back out exactly.
class BinarySum : public SqlAggregate {
  public:
    BinarySum(BinaryKind kind, bool average) : kind_(kind), average_(average) {}
    void step(const FunctionArgs& a) override {
        if (const auto n = numberArg(a[0]))
            values_.push_back(binaryValue(*n, kind_));
    }
    void inverse(const FunctionArgs& a) override {
        if (numberArg(a[0]))
            values_.pop_front();
    }
    SqlValue result() override {
        if (values_.empty())
            return SqlValue();
        BinarySumOf sum(kind_);
        for (const double v : values_)
            sum.add(v);
        return sum.result(average_);
    }

  private:
    BinaryKind kind_;
    bool average_;
    std::deque<double> values_;
};

}  // namespace

std::span<const FunctionEntry> binaryFunctionEntries() {
    return kBinaryEntries;
}

void defineBinaryAggregates(SqliteDb& db) {
    for (const BinaryKind kind : {BinaryKind::kDouble, BinaryKind::kFloat}) {
        for (const bool average : {false, true}) {
            db.defineAggregate(sumFunction(average ? "AVG" : "SUM", kind), 1, [kind, average] {
                return std::make_unique<BinarySum>(kind, average);
            });
        }
    }
}

}  // namespace malvorn::localserver
