#include "convert/script_files.h"

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "base/files.h"
#include "convert/fixed_scripts.h"
#include "support/temp_dir.h"

namespace malvorn::convert {
namespace {

const model::ConnectionFields kConnection{"admin", "pw", "ORCL"};
const ScriptDate kDate{2001, 2, 3};

TEST(ScriptFiles, FixedScriptsAreWrittenOnlyWhenMissing) {
    TempDir dir;
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path(), kConnection, kDate), 2);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/LFIDNO.sql"),
              toScriptFileBytes(lfidnoScriptLines(kDate)));
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"),
              toScriptFileBytes(adminScriptLines("admin", "pw")));

    // a hand-edited file survives a later run with other connection texts
    std::ofstream(dir.path() + "/CreateAdmin.sql") << "edited";
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path() + "/", {"other", "x", ""}, kDate), 0);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"), "edited");

    std::filesystem::remove(dir.path() + "/CreateAdmin.sql");
    EXPECT_EQ(writeFixedScriptsIfMissing(dir.path(), {"other", "x", ""}, kDate), 1);
    EXPECT_EQ(base::readFileBytes(dir.path() + "/CreateAdmin.sql"),
              toScriptFileBytes(adminScriptLines("other", "x")));
}

TEST(ScriptFiles, BatchListsTheFolderWithOrWithoutTrailingSeparator) {
    TempDir dir;
    for (const char* name : {"b.sql", "a.sql", ".hidden.sql", "notes.txt"}) {
        std::ofstream(dir.path() + "/" + name) << "x";
    }
    writeFixedScriptsIfMissing(dir.path(), kConnection, kDate);
    const std::string first = base::readFileBytes(writeBatchScript(dir.path(), kConnection, kDate));
    const std::string second =
        base::readFileBytes(writeBatchScript(dir.path() + "/", kConnection, kDate));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, toScriptFileBytes(batchScriptLines("admin", "pw", "ORCL", kDate,
                                                        {"LFIDNO.sql", "a.sql", "b.sql"})));
}

}  // namespace
}  // namespace malvorn::convert
