#include "oracle/existing_table.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>

#include "support/scripted_messages.h"

namespace malvorn::oracle {
namespace {

using shell::MessageAnswer;

// A server holding the connected user's tables that answers the USER_TABLES
// count the way Oracle does, names compared exactly.
class CatalogSession : public Session {
  public:
    explicit CatalogSession(std::set<std::string> tables) : tables_(std::move(tables)) {}

    void execute(const std::string& statement) override {
        sent.push_back(statement);
        const std::string prefix = "DROP TABLE ";
        if (!statement.starts_with(prefix))
            throw OracleError(kServerErrorNumber, "ORA-00900: invalid SQL statement", "fake");
        if (tables_.erase(statement.substr(prefix.size())) == 0)
            throw OracleError(kServerErrorNumber, "ORA-00942: table or view does not exist",
                              "fake");
    }

    Value queryValue(const std::string& query) override {
        sent.push_back(query);
        const std::string prefix = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = '";
        // The literal ends at the first quote, as the server reads it.
        if (!query.starts_with(prefix) || !query.ends_with("'") ||
            query.find('\'', prefix.size()) != query.size() - 1)
            throw OracleError(kServerErrorNumber, "ORA-00933: SQL command not properly ended",
                              "fake");
        const std::string name = query.substr(prefix.size(), query.size() - prefix.size() - 1);
        return std::to_string(tables_.count(name));
    }

    std::unique_ptr<ResultSet> query(const std::string&) override {
        throw OracleError(kServerErrorNumber, "not expected", "fake");
    }

    bool has(const std::string& name) const { return tables_.count(name) != 0; }

    std::vector<std::string> sent;

  private:
    std::set<std::string> tables_;
};

// A name holding a quote goes in undoubled: the server refuses the text, and
// that refusal reaches the caller without a question.
TEST(DropIfExists, AsksAndDropsOnlyTheExactName) {
    const std::string count = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = ";
    const auto yes = MessageAnswer::kYes, no = MessageAnswer::kNo;
    const struct {
        const char* name;
        std::string table;
        std::optional<MessageAnswer> answer;  // when asked
        std::vector<std::string> sent;
        bool stillThere;  // "EMP"
        bool refused = false;
    } cases[] = {
        {"no such table", "DEPT", {}, {count + "'DEPT'"}, true},
        {"answer no", "EMP", no, {count + "'EMP'"}, true},
        {"answer yes", "EMP", yes, {count + "'EMP'", "DROP TABLE EMP"}, false},
        {"lower case finds nothing", "emp", {}, {count + "'emp'"}, true},
        {"name goes in untrimmed", " EMP", {}, {count + "' EMP'"}, true},
        {"server refusal", "O'NEIL", {}, {count + "'O'NEIL'"}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CatalogSession session({"EMP"});
        ScriptedMessages messages;
        if (c.answer)
            messages.answers = {*c.answer};
        if (c.refused) {
            EXPECT_THROW(fDropIfExists(session, c.table, messages), OracleError);
        } else {
            fDropIfExists(session, c.table, messages);
        }
        EXPECT_EQ(session.sent, c.sent);
        EXPECT_EQ(session.has("EMP"), c.stillThere);
        ASSERT_EQ(messages.shown.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            const auto& box = messages.shown[0];
            EXPECT_EQ(box.text, "すでに同名のテーブルが存在します。\r削除しますか？");
            EXPECT_EQ(box.icon, shell::MessageIcon::kQuestion);
            EXPECT_EQ(box.buttons, shell::MessageButtons::kYesNo);
            EXPECT_EQ(box.title, shell::TitleForm::kDeleteConfirm);
        }
    }
}

}  // namespace
}  // namespace malvorn::oracle
