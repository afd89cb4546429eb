#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace malvorn::base {

// Folds the lines of a script into the one statement that is sent: a line
// whose first two characters are "/*" is left out; every other line, the
// empty one included, is appended as one blank and the line without its ";"
// characters. A ";" inside a quoted literal ('...', which may run over
// several lines) is kept: it is data the script inserts.
std::string foldScript(const std::vector<std::string>& lines);

// Splits text into lines at CR LF, LF or a lone CR; a final line break does
// not start another line.
std::vector<std::string> splitLines(std::string_view text);

// Reads a script file and folds it. The file is CP932, as the program writes
// its scripts; a file that is valid UTF-8 is taken as UTF-8. Throws
// base::FileError when it cannot be read.
std::string foldScriptFile(const std::string& path);

}  // namespace malvorn::base
