#include "oracle/existing_table.h"

#include <cstdlib>

#include "base/sql_text.h"

namespace malvorn::oracle {
namespace {

// The count comes back as text; anything that does not read as a positive
// whole number means no table.
bool isPositiveCount(const Value& count) {
    if (!count || count->empty())
        return false;
    char* end = nullptr;
    const double n = std::strtod(count->c_str(), &end);
    return end != count->c_str() && n > 0;
}

}  // namespace

std::string existingTableQuery(const std::string& table) {
    return "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = " + base::quoteSqlText(table);
}

void fDropIfExists(Session& session, const std::string& table, base::MessageService& messages) {
    if (!isPositiveCount(session.queryValue(existingTableQuery(table))))
        return;
    const auto answer = messages.show("すでに同名のテーブルが存在します。\r削除しますか？",
                                      base::MessageIcon::kQuestion, base::MessageButtons::kYesNo,
                                      base::TitleForm::kDeleteConfirm);
    if (answer == base::MessageAnswer::kYes)
        session.execute("DROP TABLE " + table);
}

}  // namespace malvorn::oracle
