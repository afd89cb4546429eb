// The lines of several tables at once: in a log each table's own lines and
// its end; on a terminal the block drawn again in place, a finished table's
// line left above the ones still running.
#include "cli/progress_board.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace malvorn::cli {
namespace {

struct Capture {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
    std::string text() const {
        std::fflush(file.get());
        std::rewind(file.get());
        std::string out;
        for (int c; (c = std::fgetc(file.get())) != EOF;)
            out += static_cast<char>(c);
        return out;
    }
};

// The screen a terminal shows for `output`: "\033[nA" moves up n lines, "\r"
// to the line's start, "\033[J" clears from there down, "\033[K" the rest of
// the line (nothing is drawn past a line's end here, so it is left as is).
std::vector<std::string> screen(const std::string& output) {
    std::vector<std::string> lines(1);
    std::size_t row = 0;
    for (std::size_t i = 0; i < output.size(); ++i) {
        if (output.compare(i, 2, "\033[") == 0) {
            std::size_t end = i + 2;
            while (std::isdigit(static_cast<unsigned char>(output[end])))
                ++end;
            const int n = end > i + 2 ? std::stoi(output.substr(i + 2, end - i - 2)) : 1;
            if (output[end] == 'A')
                row -= static_cast<std::size_t>(n);
            else if (output[end] == 'J')
                lines.resize(row + 1, std::string());
            i = end;
        } else if (output[i] == '\r') {
            lines[row].clear();  // every line drawn is drawn whole
        } else if (output[i] == '\n') {
            if (++row == lines.size())
                lines.emplace_back();
        } else {
            lines[row] += output[i];
        }
    }
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}

TEST(ProgressBoard, EachTableHasItsLineAndLeavesItsEnd) {
    struct Case {
        const char* name;
        bool terminal;
        std::vector<std::string> shown;  // a prefix of each line, in order
    };
    const Case cases[] = {
        {"log",
         false,
         {"[1/3] A 0 / 100 行", "[2/3] B 0 / 50 行", "[2/3] B 50 / 50 行", "[2/3] B: ok",
          "[1/3] A 100 / 100 行", "[1/3] A: ok"}},
        {"terminal", true, {"[2/3] B: ok", "[1/3] A: ok", "[3/3] C [####"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Capture out;
        ProgressBoard board(out.file.get(), c.terminal);
        board.started("[1/3] A");
        board.update("[1/3] A", 0, 100);
        board.started("[2/3] B");
        board.update("[2/3] B", 0, 50);
        board.update("[2/3] B", 50, 50);
        board.finished("[2/3] B", "[2/3] B: ok");
        board.update("[1/3] A", 100, 100);
        board.finished("[1/3] A", "[1/3] A: ok");
        board.started("[3/3] C");
        board.update("[3/3] C", 10, 10);
        board.update("[9/9] unknown", 1, 1);  // a table never started shows nothing
        const std::vector<std::string> lines = screen(out.text());
        std::vector<std::string> heads;
        for (std::size_t i = 0; i < lines.size() && i < c.shown.size(); ++i)
            heads.push_back(lines[i].substr(0, c.shown[i].size()));
        EXPECT_EQ(heads, c.shown);
        if (!c.terminal)
            EXPECT_EQ(lines.size(), c.shown.size() + 1);  // and C's last line
        else
            EXPECT_EQ(lines.size(), c.shown.size());
    }
}

}  // namespace
}  // namespace malvorn::cli
