#include "oracle/existing_table.h"

#include <cstdlib>

#include "shell/sql_text.h"

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
    return "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = " + shell::quoteSqlText(table);
}

void fDropIfExists(Session& session, const std::string& table, shell::MessageService& messages) {
    if (!isPositiveCount(session.queryValue(existingTableQuery(table))))
        return;
    const auto answer = messages.show("すでに同名のテーブルが存在します。\r削除しますか？",
                                      shell::MessageIcon::kQuestion, shell::MessageButtons::kYesNo,
                                      shell::TitleForm::kDeleteConfirm);
    if (answer == shell::MessageAnswer::kYes)
        session.execute("DROP TABLE " + table);
}

}  // namespace malvorn::oracle
