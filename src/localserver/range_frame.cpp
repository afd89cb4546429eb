// SUM, AVG, COUNT, MIN and MAX over a RANGE frame reaching n before or after
// the current row. SQLite measures such a frame on REAL keys, where NUMBERs
// differing past 15 digits are peers; so SQLite hands the aggregate the whole
// partition (ROWS BETWEEN UNBOUNDED PRECEDING AND UNBOUNDED FOLLOWING) and the
// aggregate measures each row's frame on exact keys. SQLite steps every row
// of the partition, then asks for one value per row in the same order, so
// the n-th value asked for is the n-th row's. SUM and AVG of binary values
// add each frame's values afresh in their type's IEEE arithmetic, in the
// frame's order: an IEEE sum cannot take a value back out exactly.
#include <algorithm>
#include <numeric>
#include <sstream>

#include "localserver/ast.h"
#include "localserver/binary_float.h"
#include "localserver/function_registry.h"
#include "localserver/timestamps.h"

namespace malvorn::localserver {
namespace {

using Args = FunctionArgs;
using Kind = ast::FrameBound::Kind;

struct FrameShape {
    std::string function;  // SUM, AVG, COUNT, MIN, MAX
    bool dateKey = false;
    bool descending = false;
    bool nullsFirst = false;
    int start = 0, end = 0;  // FrameBound::Kind
    Number startOffset, endOffset;
    BinaryKind binary = BinaryKind::kNone;  // of the values summed
};

FrameShape readFrameShape(const SqlValue& text) {
    std::istringstream in(valueToText(text));
    FrameShape s;
    std::string key, dir, nulls, startOffset, endOffset, binary;
    in >> s.function >> key >> dir >> nulls >> s.start >> startOffset >> s.end >> endOffset >>
        binary;
    s.binary = binaryKindOf(binary == "BD"   ? "BINARY_DOUBLE"
                            : binary == "BF" ? "BINARY_FLOAT"
                                             : "");
    s.dateKey = key == "D";
    s.descending = dir == "D";
    s.nullsFirst = nulls == "F";
    s.startOffset = Number::parse(startOffset).value_or(Number());
    s.endOffset = Number::parse(endOffset).value_or(Number());
    // A date's key is in seconds, its offset in days.
    if (s.dateKey) {
        s.startOffset = s.startOffset * Number::fromInt(86400);
        s.endOffset = s.endOffset * Number::fromInt(86400);
    }
    return s;
}

Number seconds(const DateTime& d) {
    std::string fraction = std::to_string(d.nanosecond);
    fraction.insert(0, 9 - fraction.size(), '0');
    return Number::fromInt(secondsOf(d)) + *Number::parse("0." + fraction);
}

class RangeAggregate : public SqlAggregate {
  public:
    void step(const Args& a) override {
        if (keys_.empty() && values_.empty())
            shape_ = readFrameShape(a[2]);
        std::optional<Number> key;
        if (!isNullOrEmpty(a[1])) {
            key = shape_.dateKey ? seconds(parseTimestampText(valueToText(a[1]))) : numberOf(a[1]);
            if (shape_.descending)
                key = key->negated();
        }
        keys_.push_back(key);
        values_.push_back(isNullOrEmpty(a[0]) ? SqlValue() : a[0]);
    }
    SqlValue result() override {
        if (results_.empty())
            computeAll();
        // SQLite's last call, at the partition's end, is past the rows.
        return asked_ < results_.size() ? results_[asked_++] : SqlValue();
    }

  private:
    // Rows sorted by key, the Nulls together first or last; each row's frame
    // is then one span [begin, end) of that order.
    void computeAll() {
        const std::size_t n = keys_.size();
        std::vector<std::size_t> order(n);
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(), [&](std::size_t l, std::size_t r) {
            const auto& a = keys_[l];
            const auto& b = keys_[r];
            if (!a || !b)
                return shape_.nullsFirst ? (!a && b) : (a && !b);
            return Number::compare(*a, *b) < 0;
        });
        const std::size_t nulls = static_cast<std::size_t>(
            std::count(keys_.begin(), keys_.end(), std::optional<Number>()));
        const std::size_t keyBegin = shape_.nullsFirst ? nulls : 0;
        const std::size_t nullBegin = shape_.nullsFirst ? 0 : n - nulls;
        std::vector<Number> sorted;
        for (std::size_t i = keyBegin; i < keyBegin + (n - nulls); ++i)
            sorted.push_back(*keys_[order[i]]);
        const auto less = [](const Number& a, const Number& b) {
            return Number::compare(a, b) < 0;
        };
        const auto lower = [&](const Number& x) {
            return keyBegin +
                   static_cast<std::size_t>(
                       std::lower_bound(sorted.begin(), sorted.end(), x, less) - sorted.begin());
        };
        const auto upper = [&](const Number& x) {
            return keyBegin +
                   static_cast<std::size_t>(
                       std::upper_bound(sorted.begin(), sorted.end(), x, less) - sorted.begin());
        };
        results_.assign(n, SqlValue());
        for (std::size_t p = 0; p < n; ++p) {
            const auto& key = keys_[order[p]];
            std::size_t begin = 0, end = n;
            if (!key) {  // a Null key's offsets reach its peers, the other Nulls
                begin = shape_.start == static_cast<int>(Kind::kUnboundedPreceding) ? 0 : nullBegin;
                end = shape_.end == static_cast<int>(Kind::kUnboundedFollowing) ? n
                                                                                : nullBegin + nulls;
            } else {
                begin = bound(shape_.start, shape_.startOffset, *key, lower, 0);
                end = bound(shape_.end, shape_.endOffset, *key, upper, n);
            }
            results_[order[p]] = aggregate(order, begin, std::max(begin, end));
        }
    }

    template <typename Search>
    static std::size_t bound(int kind, const Number& offset, const Number& key, Search search,
                             std::size_t unbounded) {
        switch (static_cast<Kind>(kind)) {
            case Kind::kPreceding:
                return search(key - offset);
            case Kind::kFollowing:
                return search(key + offset);
            case Kind::kCurrentRow:
                return search(key);
            default:
                return unbounded;
        }
    }

    // The function over the rows order[begin..end): the running sum moves on
    // when the frame moves forward, MIN and MAX are kept for a repeated frame.
    SqlValue aggregate(const std::vector<std::size_t>& order, std::size_t begin, std::size_t end) {
        if (shape_.function == "MIN" || shape_.function == "MAX") {
            if (begin == lastBegin_ && end == lastEnd_)
                return lastExtreme_;
            const int sign = shape_.function == "MIN" ? 1 : -1;
            SqlValue best;
            for (std::size_t i = begin; i < end; ++i) {
                const SqlValue& v = values_[order[i]];
                if (!isNull(v) && (isNull(best) || sign * compareSortedValues(v, best) < 0))
                    best = v;
            }
            lastBegin_ = begin;
            lastEnd_ = end;
            return lastExtreme_ = best;
        }
        if (shape_.binary != BinaryKind::kNone && shape_.function != "COUNT")
            return binarySum(order, begin, end);
        if (begin < sumBegin_ || end < sumEnd_ || begin >= sumEnd_) {
            sum_ = Number();
            count_ = 0;
            sumBegin_ = sumEnd_ = begin;
        }
        for (; sumEnd_ < end; ++sumEnd_)
            take(values_[order[sumEnd_]], 1);
        for (; sumBegin_ < begin; ++sumBegin_)
            take(values_[order[sumBegin_]], -1);
        if (shape_.function == "COUNT")
            return Number::fromInt(count_);
        if (count_ == 0)
            return SqlValue();
        return shape_.function == "SUM" ? sum_ : sum_ / Number::fromInt(count_);
    }

    SqlValue binarySum(const std::vector<std::size_t>& order, std::size_t begin,
                       std::size_t end) const {
        BinarySumOf sum(shape_.binary);
        for (std::size_t i = begin; i < end; ++i) {
            if (const auto n = numberArg(values_[order[i]]))
                sum.add(*n);
        }
        if (sum.count() == 0)
            return SqlValue();
        return sum.result(shape_.function == "AVG");
    }

    void take(const SqlValue& v, int sign) {
        if (isNull(v))
            return;
        count_ += sign;
        if (shape_.function != "COUNT")
            sum_ = sign > 0 ? sum_ + *numberArg(v) : sum_ - *numberArg(v);
    }

    FrameShape shape_;
    std::vector<std::optional<Number>> keys_;
    std::vector<SqlValue> values_;
    std::vector<SqlValue> results_;
    std::size_t asked_ = 0;
    Number sum_;
    std::int64_t count_ = 0;
    std::size_t sumBegin_ = 0, sumEnd_ = 0;
    std::size_t lastBegin_ = SIZE_MAX, lastEnd_ = SIZE_MAX;
    SqlValue lastExtreme_;
};

}  // namespace

void defineRangeAggregate(SqliteDb& db) {
    db.defineAggregate("mv_range", 3, [] { return std::make_unique<RangeAggregate>(); });
}

}  // namespace malvorn::localserver
