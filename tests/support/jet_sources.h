#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/jet_reader_client.h"
#include "jet/mdb_database.h"

namespace malvorn::jet {

// The two ways the program reads a Jet file, which must agree: in this
// process, and through the reader process (JET_READER) and its protocol.
struct Way {
    const char* name;
    std::function<std::unique_ptr<JetSource>(const std::string&)> open;
};

inline void PrintTo(const Way& way, std::ostream* os) {
    *os << way.name;
}

inline std::unique_ptr<JetSource> throughReader(const std::string& path) {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.rowsPerBatch = 64;
    return openJetSource(path, options);
}

inline auto bothWays() {
    return ::testing::Values(Way{"here", openJetFileHere}, Way{"reader", throughReader});
}

inline std::string wayName(const ::testing::TestParamInfo<Way>& way) {
    return way.param.name;
}

// A file the engine itself wrote. Such files are not part of the project:
// tests that need them skip, saying so, when they are absent.
inline std::string realFile(const std::string& name) {
    return (std::filesystem::path(MALVORN_REAL_FIXTURES) / name).string();
}
#define SKIP_WITHOUT_REAL_FILE(name)                              \
    if (!std::filesystem::exists(::malvorn::jet::realFile(name))) \
    GTEST_SKIP() << "no engine-written Jet files at " << MALVORN_REAL_FIXTURES

inline std::vector<JetRow> allRows(JetSource& source, const std::string& table) {
    auto rows = source.openRows(table);
    std::vector<JetRow> all;
    JetRow row;
    while (rows->next(row))
        all.push_back(row);
    return all;
}

// Reads every table of a file through the reader process, as a conversion
// would. Returns the first error, or nullopt when all was read; a table that
// fails is passed over unless the reader itself has gone.
inline std::optional<JetError> readEverything(const std::string& path) {
    JetReaderOptions options;
    options.readerPath = JET_READER;
    options.progressTimeout = std::chrono::milliseconds(10000);
    std::optional<JetError> first;
    try {
        JetReaderClient client(path, options);
        for (const auto& name : client.tableNames()) {
            try {
                client.readTable(name);
                auto rows = client.openRows(name);
                JetRow row;
                for (int n = 0; n < 1000000 && rows->next(row); ++n) {
                }
            } catch (const JetError& e) {
                if (!first)
                    first = e;
                if (e.kind() == JetErrorKind::kReaderFailed)
                    break;
            }
        }
    } catch (const JetError& e) {
        first = e;
    }
    return first;
}

// Runs `read`, which must fail with a JetError of `kind` whose message holds
// each of `parts`.
template <typename Read>
void expectJetError(Read&& read, JetErrorKind kind, const std::vector<std::string>& parts = {}) {
    try {
        read();
        ADD_FAILURE() << "no error";
    } catch (const JetError& e) {
        EXPECT_EQ(e.kind(), kind) << e.what();
        for (const std::string& part : parts)
            EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
}

// An index as one line: "name(key, key desc) primary unique ignoreNulls required".
inline std::string indexText(const model::JetIndexSchema& index) {
    std::string text = index.name + "(";
    for (const auto& column : index.columns)
        text +=
            (text.back() == '(' ? "" : ", ") + column.field + (column.descending ? " desc" : "");
    text += ")";
    for (const auto& [set, flag] :
         {std::pair(index.primary, " primary"), std::pair(index.unique, " unique"),
          std::pair(index.ignoreNulls, " ignoreNulls"), std::pair(index.required, " required")})
        text += set ? flag : "";
    return text;
}

}  // namespace malvorn::jet
