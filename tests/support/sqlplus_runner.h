#pragma once

// Runs written scripts on a session the way SQL*Plus reads them, so a test
// can check what a DBA running them by hand would get: "@@file" runs a file
// of the same folder; between statements, "--" comments, blank lines and
// SET, WHENEVER and EXIT are SQL*Plus's own; a statement runs at the line
// that ends in ";" and is sent as its lines joined by LF, without the
// "/*" comment lines and the ";". A statement the server refuses is kept and the run goes
// on, so that a test sees every refusal.
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
