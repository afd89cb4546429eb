// COUNT, SUM and AVG (DISTINCT x) OVER (PARTITION BY ...): SQLite's window
// functions take no DISTINCT, so these aggregates keep the values seen. The
// server allows them only over a whole partition (no ORDER BY in the
// window), so no row ever leaves the window. Binary values add in their
// type's IEEE arithmetic, smallest first.
#include <map>

#include "localserver/binary_float.h"
#include "localserver/function_registry.h"

namespace malvorn::localserver {
namespace {

class DistinctAggregate : public SqlAggregate {
  public:
    enum class Kind { kCount, kSum, kAverage };
    DistinctAggregate(Kind kind, BinaryKind binary) : kind_(kind), binary_(binary) {}

    void step(const FunctionArgs& a) override {
        if (isNullOrEmpty(a[0]))
            return;
        // Numbers are equal by value (1 and 1.0), text by its bytes.
        if (const auto* text = std::get_if<std::string>(&a[0])) {
            texts_.emplace("t" + *text, 0);
            return;
        }
        const auto n = numberArg(a[0]);
        numbers_.emplace(n->key(), *n);
    }
    SqlValue result() override {
        const auto count = static_cast<std::int64_t>(numbers_.size() + texts_.size());
        if (kind_ == Kind::kCount)
            return Number::fromInt(count);
        if (count == 0)
            return SqlValue();
        if (binary_ != BinaryKind::kNone) {
            BinarySumOf sum(binary_);
            for (const auto& [key, value] : numbers_)
                sum.add(value);
            return sum.result(kind_ == Kind::kAverage);
        }
        Number sum;
        for (const auto& [key, value] : numbers_)
            sum = sum + value;
        return kind_ == Kind::kSum ? sum : sum / Number::fromInt(count);
    }

  private:
    Kind kind_;
    BinaryKind binary_;
    std::map<std::string, Number> numbers_;
    std::map<std::string, int> texts_;
};

}  // namespace

void defineDistinctAggregates(SqliteDb& db) {
    using K = DistinctAggregate::Kind;
    db.defineAggregate("mv_count_distinct", 1, [] {
        return std::make_unique<DistinctAggregate>(K::kCount, BinaryKind::kNone);
    });
    for (const BinaryKind binary : {BinaryKind::kNone, BinaryKind::kDouble, BinaryKind::kFloat}) {
        for (const K kind : {K::kSum, K::kAverage}) {
            db.defineAggregate(
                sumFunction(kind == K::kSum ? "SUM" : "AVG", binary, true), 1,
                [kind, binary] { return std::make_unique<DistinctAggregate>(kind, binary); });
        }
    }
}

}  // namespace malvorn::localserver
