#pragma once

#include <string>
#include <vector>

namespace malvorn::base {

// How the kept lines of a script are joined into one statement.
enum class LineJoin {
    kCrAfter,      // each line followed by a CR: the table scripts
    kBlankBefore,  // each line after one blank: scripts run from a file
};

// Folds the lines of a script into the one statement sent to the server. A
// line whose first two characters are "/*" is left out. Every ";" outside a
// quoted literal is removed: SQL*Plus needs it, the server refuses it. A ";"
// inside '...' (which may run over several lines; '' is a quote inside it)
// is data and stays.
std::string foldStatementLines(const std::vector<std::string>& lines, LineJoin join);

}  // namespace malvorn::base
