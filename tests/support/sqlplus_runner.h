#pragma once

// Runs written scripts on a session as SQL*Plus reads them ("@@file",
// its own commands between statements, a statement ended by ";"), so a test
// sees what a DBA running them by hand would get; a refused statement is
// kept and the run goes on.
#include <string>
#include <vector>

#include "base/files.h"
#include "core/command.h"
#include "oracle/session.h"

namespace malvorn::testing {

struct ScriptRun {
    std::vector<std::string> files;    // run, in order
    std::vector<std::string> refused;  // "<file>: <server's message>"
    std::size_t statements = 0;        // sent
};

inline std::string trimmedLine(const std::string& line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return std::string();
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

inline bool sqlPlusCommand(const std::string& line) {
    for (const char* word : {"SET ", "WHENEVER ", "EXIT", "PROMPT"}) {
        if (line.rfind(word, 0) == 0)
            return true;
    }
    return line.empty() || line.rfind("--", 0) == 0;
}

inline void runLikeSqlPlus(const std::string& folder, const std::string& file,
                           oracle::Session& session, ScriptRun& run) {
    run.files.push_back(file);
    const std::string text = base::readFileBytes(folder + "/" + file);
    std::vector<std::string> statement;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string raw = text.substr(start, end - start);
        const std::string line = trimmedLine(raw);
        start = end + 1;
        if (statement.empty() && line.rfind("@@", 0) == 0) {
            runLikeSqlPlus(folder, line.substr(2), session, run);
            continue;
        }
        if (statement.empty() && sqlPlusCommand(line))
            continue;
        statement.push_back(raw);
        if (line.empty() || line.back() != ';')
            continue;
        ++run.statements;
        std::string sql;
        for (const auto& kept : statement) {
            if (trimmedLine(kept).rfind("/*", 0) != 0)
                sql += (sql.empty() ? "" : "\n") + kept;
        }
        sql.erase(sql.find_last_of(';'));
        try {
            session.execute(sql);
        } catch (...) {
            run.refused.push_back(file + ": " +
                                  core::reportedError(std::current_exception()).description());
        }
        statement.clear();
    }
}

}  // namespace malvorn::testing
