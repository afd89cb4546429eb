#pragma once

#include <cstddef>
#include <string>

#include "cli/command.h"

namespace malvorn::cli {

inline constexpr std::size_t kDefaultBatch = 1000;
inline constexpr std::size_t kMaxBatch = 1000000;

// --bulk and --batch N.
inline Options bulkOptions() {
    return {{"bulk", "", "値を結び付けた INSERT でまとめて送ります"},
            {"batch", "N", "--bulk: 1つのまとめの行数 (既定 1000、1 から 1000000)"}};
}

// The rows per batch `--bulk [--batch N]` asks for; 0 without --bulk.
// --batch alone is refused rather than taken to mean --bulk: the copy's way
// should be asked for by name.
inline std::size_t bulkBatch(const Arguments& args) {
    if (!args.has("bulk")) {
        if (args.has("batch"))
            throw UsageError("--batch は --bulk と一緒に指定してください");
        return 0;
    }
    if (!args.has("batch"))
        return kDefaultBatch;
    const std::string text = args.option("batch");
    std::size_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || n > kMaxBatch) {
            n = 0;
            break;
        }
        n = n * 10 + static_cast<std::size_t>(c - '0');
    }
    if (n < 1 || n > kMaxBatch)
        throw UsageError("--batch には 1 から " + std::to_string(kMaxBatch) +
                         " までの行数を指定してください: " + text);
    return n;
}

}  // namespace malvorn::cli
