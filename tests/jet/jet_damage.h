#pragma once

// Built Jet files damaged the ways damaged copies of real files are: the
// traps that make the Jet library loop or grow, and random damage. Shared by
// the reader's tests and its time-to-failure benchmark.
#include <algorithm>
#include <random>
#include <stdexcept>
#include <string>

#include "jet_builder/ace_types.h"
#include "jet_built_bytes.h"

namespace malvorn::jet {

using testing::JetBuildTable;
using testing::JetVersion;

inline constexpr std::size_t kJet4Page = testing::jetPageSize(JetVersion::kJet4);

// The first table's property list, long enough for a chain of long-value
// rows, with its last row pointing back to its second: the library appends
// without end.
inline std::string runawayPropertyChain() {
    JetBuildTable table{"Chain", {}, {}, {}};
    for (int i = 0; i < 40; ++i)
        table.fields.push_back({.name = "F" + std::to_string(i),
                                .allowZeroLength = true,
                                .defaultValue = "\"" + std::string(120, 'd') + "\""});
    std::string bytes = builtBytes({table});
    const std::size_t list = bytes.find(std::string("MR2\0", 4));
    const std::uint32_t second = u32At(bytes, list - 4);
    if (list == std::string::npos || second == 0)
        throw std::runtime_error("the builder wrote no chained property list");
    std::size_t last = list - 4;
    for (std::uint32_t next = second; next != 0; next = u32At(bytes, last))
        last = rowStart(bytes, next);
    putU32(bytes, last, second);
    return bytes;
}

// The first table's property list with a chunk of length 0 where the file
// holds chunk `chunk` (0 the first, 1 the second): the library walks the
// first without end and allocates without end on the second.
inline std::string endlessPropertyList(int chunk) {
    JetBuildTable table{"Props",
                        {{.name = "Name", .allowZeroLength = true, .defaultValue = "\"x\""}},
                        {},
                        {{std::string("a")}}};
    std::string bytes = builtBytes({table});
    std::size_t at = bytes.find(std::string("MR2\0", 4)) + 4;
    if (chunk == 1) {
        at += static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1])
                                                          << 8;
    } else {
        bytes[at + 4] = 0;  // a value chunk before any name chunk
        bytes[at + 5] = 0;
    }
    bytes.replace(at, 4, std::string(4, '\0'));
    return bytes;
}

// A count in the first table's definition (page 3) far beyond what it holds.
inline std::string hugeCount(std::size_t offset, std::size_t size) {
    JetBuildTable table{"Counts",
                        {{.name = "A"}, {.name = "B"}},
                        {{"PrimaryKey", {"A"}, true}},
                        {{std::string("a"), std::string("b")}}};
    std::string bytes = builtBytes({table});
    for (std::size_t i = 0; i < size; ++i)
        bytes.at(3 * kJet4Page + offset + i) = static_cast<char>(i + 1 == size ? 0x7F : 0xFF);
    return bytes;
}

// The first table's first `count` rows marked deleted on its data page
// (Jet 4), its recorded row count left as it was: the file reads short, as a
// file whose data pages are damaged does.
inline std::string rowsLost(std::string bytes, int count) {
    std::size_t at = 3 * kJet4Page;
    while (bytes.at(at) != 0x01 || u32At(bytes, at + 4) != 3)
        at += kJet4Page;
    for (int row = 0; row < count; ++row) {
        const std::size_t flags = at + 15 + 2 * static_cast<std::size_t>(row);
        bytes.at(flags) = static_cast<char>(bytes.at(flags) | 0x40);
    }
    return bytes;
}

// The first table's recorded row count (Jet 4, at 16 on its definition page,
// page 3) set to `recorded`: a stale count like those real files carry.
inline std::string recordedRows(std::string bytes, std::uint32_t recorded) {
    putU32(bytes, 3 * kJet4Page + 16, recorded);
    return bytes;
}

// The source of the random damage: a keyed table with long memos and a
// small second table; in ACE also its own types and a hidden flat table.
inline std::string fuzzSourceFile(JetVersion version) {
    const bool ace = version == JetVersion::kAce12;
    JetBuildTable table{"Fuzz",
                        {{.name = "ID", .type = 4},
                         {.name = "Name", .type = 10, .size = 50, .defaultValue = "\"n\""},
                         {.name = "Body", .type = 12},
                         {.name = "When", .type = 8}},
                        {{"PrimaryKey", {"ID"}, true}},
                        {}};
    if (ace)
        table.fields.insert(table.fields.end(),
                            {{.name = "Big", .type = testing::ace::kLargeNumber},
                             {.name = "Stamp", .type = testing::ace::kExtendedDate}});
    for (std::int64_t i = 0; i < 120; ++i) {
        table.rows.push_back({i, "名前" + std::to_string(i),
                              std::string(i % 40 == 0 ? 7000 : 20, 'm'), 36000.0 + i});
        if (ace)
            table.rows.back().insert(
                table.rows.back().end(),
                {i << 40, "2021-12-30 12:34:56.789123" + std::to_string(i % 10)});
    }
    JetBuildTable other{"Other", {{.name = "Code", .size = 10}}, {}, {{std::string("c")}}};
    if (ace) {
        other.name = "f_63A2725FD5F0424B858BA73DA673639B_Data";
        other.catalogFlags = 0x800A0000;
    }
    return builtBytes({table, other}, version);
}

// One random damage of the kinds seen in damaged copies of real files.
inline std::string randomDamage(const std::string& original, std::size_t page,
                                std::mt19937& random) {
    std::string bytes = original;
    const std::size_t pages = bytes.size() / page;
    auto pick = [&random](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
    };
    switch (pick(5)) {
        case 0:
        case 1: {  // 1, 10 or 100 bytes changed past the header page
            const std::size_t flips = std::size_t{1} << (2 * pick(3) + pick(2));
            for (std::size_t i = 0; i < flips; ++i)
                bytes[page + pick(bytes.size() - page)] = static_cast<char>(random());
            break;
        }
        case 2:  // a page over another
            std::copy_n(original.begin() + static_cast<std::ptrdiff_t>(pick(pages) * page), page,
                        bytes.begin() + static_cast<std::ptrdiff_t>((1 + pick(pages - 1)) * page));
            break;
        case 3:  // a page zeroed
            std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>((1 + pick(pages - 1)) * page),
                        page, '\0');
            break;
        default:  // cut short
            bytes.resize(pick(bytes.size()));
            break;
    }
    return bytes;
}

}  // namespace malvorn::jet
