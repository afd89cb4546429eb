#include "cli/result_text.h"

namespace malvorn::cli {
namespace {

void writeField(const std::string& text, std::ostream& out) {
    for (char c : text) {
        switch (c) {
            case '\t':
                out << "\\t";
                break;
            case '\n':
                out << "\\n";
                break;
            case '\r':
                out << "\\r";
                break;
            case '\\':
                out << "\\\\";
                break;
            default:
                out << c;
        }
    }
}

}  // namespace

void writeTabSeparated(oracle::ResultSet& rows, std::ostream& out) {
    const auto& names = rows.columnNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            out << '\t';
        writeField(names[i], out);
    }
    out << '\n';
    while (rows.next()) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            if (i)
                out << '\t';
            if (const auto value = rows.value(i))
                writeField(*value, out);
        }
        out << '\n';
    }
}

}  // namespace malvorn::cli
