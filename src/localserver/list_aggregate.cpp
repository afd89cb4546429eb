// LISTAGG(value, separator) WITHIN GROUP (ORDER BY keys): the group's values
// joined in the keys' order. SQLite's group_concat cannot be ordered, so the
// aggregate sorts the rows itself. LISTAGG(DISTINCT ...) (mv_listagg_distinct)
// keeps the first row of each value in that order ("The DISTINCT keyword
// removes duplicate values from the list": SQL Language Reference, LISTAGG).
#include <algorithm>
#include <set>

#include "localserver/errors.h"
#include "localserver/function_registry.h"

namespace malvorn::localserver {
namespace {

using Args = FunctionArgs;

// Arguments: value, separator, then for each key its direction ("A" or "D",
// then "F" or "L" for its Nulls) and the key itself.
class ListAggregate : public SqlAggregate {
  public:
    explicit ListAggregate(bool distinct) : distinct_(distinct) {}
    void step(const Args& a) override {
        if (a.size() < 2 || a.size() % 2 != 0)
            oraThrow(909, "invalid number of arguments");
        if (isNullOrEmpty(a[0]))
            return;
        if (!isNull(a[1]))
            separator_ = valueToText(a[1]);
        rows_.push_back(a);
    }
    SqlValue result() override {
        std::stable_sort(rows_.begin(), rows_.end(), [](const Args& l, const Args& r) {
            for (std::size_t k = 2; k + 1 < l.size(); k += 2) {
                const std::string how = valueToText(l[k]);
                const SqlValue& lv = l[k + 1];
                const SqlValue& rv = r[k + 1];
                if (isNull(lv) || isNull(rv)) {
                    if (isNull(lv) == isNull(rv))
                        continue;
                    return isNull(lv) == (how.size() > 1 && how[1] == 'F');
                }
                const int c = compareSortedValues(lv, rv);
                if (c != 0)
                    return how[0] == 'D' ? c > 0 : c < 0;
            }
            return false;
        });
        std::string out;
        std::set<std::string> seen;
        for (std::size_t i = 0; i < rows_.size(); ++i) {
            std::string value = valueToText(rows_[i][0]);
            if (distinct_ && !seen.insert(value).second)
                continue;
            out += (out.empty() ? "" : separator_) + value;
            if (out.size() > 4000)
                oraThrow(1489, "result of string concatenation is too long");
        }
        return out.empty() ? SqlValue() : SqlValue(std::move(out));
    }

  private:
    bool distinct_;
    std::vector<Args> rows_;
    std::string separator_;
};

}  // namespace

void defineListAggregate(SqliteDb& db) {
    db.defineAggregate("mv_listagg", -1, [] { return std::make_unique<ListAggregate>(false); });
    db.defineAggregate("mv_listagg_distinct", -1,
                       [] { return std::make_unique<ListAggregate>(true); });
}

}  // namespace malvorn::localserver
