#include "oracle/existing_table.h"

#include <gtest/gtest.h>

#include <optional>

#include "localserver/server_fixture.h"
#include "support/scripted_messages.h"
#include "support/tapped_session.h"

namespace malvorn::oracle {
namespace {

using base::MessageAnswer;

class ExistingTable : public localserver::ServerTest {};

// A name holding a quote stays inside its literal: it counts no table and
// asks nothing, however it is written.
TEST_F(ExistingTable, AsksAndDropsOnlyTheExactName) {
    const std::string count = "SELECT COUNT(*) FROM USER_TABLES WHERE TABLE_NAME = ";
    const auto yes = MessageAnswer::kYes, no = MessageAnswer::kNo;
    const struct {
        const char* name;
        std::string table;
        std::optional<MessageAnswer> answer;  // when asked
        std::vector<std::string> sent;
        bool stillThere;  // "EMP"
    } cases[] = {
        {"no such table", "DEPT", {}, {count + "'DEPT'"}, true},
        {"answer no", "EMP", no, {count + "'EMP'"}, true},
        {"answer yes", "EMP", yes, {count + "'EMP'", "DROP TABLE EMP"}, false},
        {"lower case finds nothing", "emp", {}, {count + "'emp'"}, true},
        {"name goes in untrimmed", " EMP", {}, {count + "' EMP'"}, true},
        {"a quote is doubled", "EMP' OR 'A'='A", {}, {count + "'EMP'' OR ''A''=''A'"}, true},
    };
    auto scott = appUser();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (scott->queryValue(count + "'EMP'") == "0")
            scott->execute("CREATE TABLE EMP (A NUMBER)");
        Tap tap;
        TappedSession session(open("scott", "tiger"), tap);
        ScriptedMessages messages;
        if (c.answer)
            messages.answers = {*c.answer};
        fDropIfExists(session, c.table, messages);
        EXPECT_EQ(tap.sent, c.sent);
        EXPECT_EQ(scott->queryValue(count + "'EMP'"), c.stillThere ? "1" : "0");
        ASSERT_EQ(messages.shown.size(), c.answer ? 1u : 0u);
        if (c.answer) {
            const auto& box = messages.shown[0];
            EXPECT_EQ(box.text, "すでに同名のテーブルが存在します。\r削除しますか？");
            EXPECT_EQ(box.icon, base::MessageIcon::kQuestion);
            EXPECT_EQ(box.buttons, base::MessageButtons::kYesNo);
            EXPECT_EQ(box.title, base::TitleForm::kDeleteConfirm);
        }
    }
}

}  // namespace
}  // namespace malvorn::oracle
