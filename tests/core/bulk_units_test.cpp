// Whole numbers reach the server of a bulk copy with their text only when its
// driver reads the text: a driver that reads units only gets units alone.
#include <gtest/gtest.h>

#include "core/bulk_sender.h"
#include "support/quiet_session.h"

namespace malvorn::core {
namespace {

// One Long and one Currency column, one row per value pair.
class NumberRows : public jet::JetRowCursor {
  public:
    explicit NumberRows(std::vector<jet::JetRow> rows) : rows_(std::move(rows)) {}
    const std::vector<jet::JetColumn>& columns() const override { return columns_; }
    std::int64_t recordedRowCount() const override {
        return static_cast<std::int64_t>(rows_.size());
    }
    std::int64_t deliveredRowCount() const override { return static_cast<std::int64_t>(next_); }
    bool next(jet::JetRow& row) override {
        if (next_ == rows_.size())
            return false;
        row = rows_[next_++];
        return true;
    }

  private:
    std::vector<jet::JetColumn> columns_{{"N", model::kJetLong}, {"C", model::kJetCurrency}};
    std::vector<jet::JetRow> rows_;
    std::size_t next_ = 0;
};

class UnitsPreparer : public oracle::RowPreparer {
  public:
    explicit UnitsPreparer(bool unitsOnly) : unitsOnly_(unitsOnly) {}
    void prepare(const std::vector<oracle::BoundRow>&,
                 std::unique_ptr<oracle::PreparedRows>&) const override {}
    bool readsUnitsOnly() const override { return unitsOnly_; }

  private:
    bool unitsOnly_;
};

// Keeps each number it is sent as its text and its units.
class NumberServer : public testing::QuietSession {
  public:
    explicit NumberServer(bool unitsOnly) : unitsOnly_(unitsOnly) {}
    std::unique_ptr<oracle::RowPreparer> rowPreparer(const std::string&) override {
        return std::make_unique<UnitsPreparer>(unitsOnly_);
    }
    void insertPreparedRows(const std::string&, const std::vector<oracle::BoundRow>& rows,
                            const oracle::PreparedRows*) override {
        for (const auto& row : rows) {
            for (const auto& value : row) {
                const auto& number = std::get<oracle::BoundNumber>(value);
                kept.push_back(number.text + "|" + std::to_string(number.units) + "E-" +
                               std::to_string(number.scale));
            }
        }
    }

    std::vector<std::string> kept;

  private:
    bool unitsOnly_;
};

TEST(BulkUnits, TextOnlyForADriverThatReadsIt) {
    const struct {
        const char* what;
        bool unitsOnly;
        std::vector<std::string> kept;
    } cases[] = {
        {"text read", false, {"7|7E-0", "1.5|15000E-4", "-8|-8E-0", "0|0E-4"}},
        {"units only", true, {"|7E-0", "|15000E-4", "|-8E-0", "|0E-4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NumberRows rows(
            {{std::int64_t{7}, jet::JetCurrency{15000}}, {std::int64_t{-8}, jet::JetCurrency{0}}});
        NumberServer server(c.unitsOnly);
        EXPECT_EQ(sendInBatches(server, "INSERT INTO T (N, C) VALUES", rows, 1, false, nullptr, {}),
                  2);
        EXPECT_EQ(server.kept, c.kept);
    }
}

}  // namespace
}  // namespace malvorn::core
