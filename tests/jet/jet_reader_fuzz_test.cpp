// Built files damaged at random (fixed seed, so every run tries the same
// files) and read whole through the reader process, as a conversion and a
// copy would: the program never crashes, every reading ends within the
// reader's bounds (never by the client's silence limit), every error names
// the file, and a definition read without error keeps the sanity rules.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>

#include "jet_damage.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The rules a definition must keep to be given to the program.
void expectSane(const model::JetTableDef& table) {
    std::set<std::string> seen;
    for (const auto& field : table.fields) {
        EXPECT_FALSE(field.name.empty());
        EXPECT_TRUE(std::none_of(field.name.begin(), field.name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20;
        })) << field.name;
        std::string folded = field.name;
        std::transform(folded.begin(), folded.end(), folded.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        EXPECT_TRUE(seen.insert(folded).second) << "repeated " << field.name;
    }
    if (table.firstIndex) {
        const auto& keys = table.firstIndex->fieldNames;
        EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()).size(), keys.size());
    }
}

// Reads every table; returns how many readings ended in an error.
int readThrough(const std::string& path) {
    int errors = 0;
    auto check = [&](const JetError& e) {
        ++errors;
        const std::string message = e.what();
        EXPECT_THAT(message, HasSubstr(path));
        EXPECT_THAT(message, Not(HasSubstr("応答しないため")));
    };
    try {
        JetReaderClient client(path, JetReaderOptions{.readerPath = JET_READER});
        for (const auto& name : client.tableNames()) {
            try {
                expectSane(client.readTable(name));
                allRows(client, name);
            } catch (const JetError& e) {
                check(e);
                if (e.kind() == JetErrorKind::kReaderFailed)
                    break;
            }
        }
    } catch (const JetError& e) {
        check(e);
    }
    return errors;
}

// 150 damaged files of each version; MALVORN_READER_FUZZ_FILES sets another
// count (scripts/test.sh runs fewer under the sanitizers).
int filesPerVersion() {
    const char* text = std::getenv("MALVORN_READER_FUZZ_FILES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 150;
}

TEST(ReaderFuzz, RandomlyDamagedFilesEndInRowsOrAClearError) {
    TempDir dir;
    std::mt19937 random(20240611);
    int errors = 0;
    int files = 0;
    for (const JetVersion version : {JetVersion::kJet4, JetVersion::kJet3, JetVersion::kAce12}) {
        const std::string original = fuzzSourceFile(version);
        const std::size_t page = testing::jetPageSize(version);
        for (int i = 0; i < filesPerVersion(); ++i, ++files) {
            const std::string path = dir.path() + "/fuzz" + std::to_string(files) + ".mdb";
            writeWholeFile(path, randomDamage(original, page, random));
            errors += readThrough(path);
            std::remove(path.c_str());
            if (HasFailure()) {
                ADD_FAILURE() << "file " << files << " (seed 20240611)";
                return;
            }
        }
    }
    // The damage is real: a good part of the files cannot be read.
    EXPECT_GT(errors, files / 4);
}

}  // namespace
}  // namespace malvorn::jet
