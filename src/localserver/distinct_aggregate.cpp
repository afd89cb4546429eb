// COUNT, SUM and AVG (DISTINCT x) OVER (PARTITION BY ...): SQLite's window
// functions take no DISTINCT, so these aggregates keep the values seen. The
// server allows them only over a whole partition (no ORDER BY in the
// window), so no row ever leaves the window.
#include <map>

#include "localserver/function_registry.h"

namespace malvorn::localserver {
namespace {

class DistinctAggregate : public SqlAggregate {
  public:
    enum class Kind { kCount, kSum, kAverage };
    explicit DistinctAggregate(Kind kind) : kind_(kind) {}

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
        Number sum;
        for (const auto& [key, value] : numbers_)
            sum = sum + value;
        return kind_ == Kind::kSum ? sum : sum / Number::fromInt(count);
    }

  private:
    Kind kind_;
    std::map<std::string, Number> numbers_;
    std::map<std::string, int> texts_;
};

}  // namespace

void defineDistinctAggregates(SqliteDb& db) {
    using K = DistinctAggregate::Kind;
    const std::pair<const char*, K> kinds[] = {{"mv_count_distinct", K::kCount},
                                               {"mv_sum_distinct", K::kSum},
                                               {"mv_avg_distinct", K::kAverage}};
    for (const auto& [name, kind] : kinds)
        db.defineAggregate(name, 1, [kind] { return std::make_unique<DistinctAggregate>(kind); });
}

}  // namespace malvorn::localserver
