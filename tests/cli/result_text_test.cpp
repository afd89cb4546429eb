#include "cli/result_text.h"

#include <gtest/gtest.h>

#include <sstream>

namespace malvorn::cli {
namespace {

class ListRows : public oracle::ResultSet {
  public:
    ListRows(std::vector<std::string> names, std::vector<std::vector<oracle::Value>> rows)
        : names_(std::move(names)), rows_(std::move(rows)) {}
    const std::vector<std::string>& columnNames() const override { return names_; }
    bool next() override { return ++at_ < rows_.size(); }
    oracle::Value value(std::size_t i) const override { return rows_.at(at_).at(i); }

  private:
    std::vector<std::string> names_;
    std::vector<std::vector<oracle::Value>> rows_;
    std::size_t at_ = static_cast<std::size_t>(-1);
};

TEST(TabSeparated, HeaderRowsNullsAndEscapes) {
    ListRows rows(
        {"ID", "氏名", "備考"},
        {{"1", "山田", std::nullopt}, {"2", "a\tb", "x\r\ny\\z"}, {std::nullopt, "", ""}});
    std::ostringstream out;
    writeTabSeparated(rows, out);
    EXPECT_EQ(out.str(), "ID\t氏名\t備考\n1\t山田\t\n2\ta\\tb\tx\\r\\ny\\\\z\n\t\t\n");

    ListRows empty({"A"}, {});
    std::ostringstream none;
    writeTabSeparated(empty, none);
    EXPECT_EQ(none.str(), "A\n");
}

}  // namespace
}  // namespace malvorn::cli
