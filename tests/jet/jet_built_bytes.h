#pragma once

// Reading and patching the bytes of a built Jet file, for the tests that
// damage one on purpose.
#include <cstdint>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"
#include "support/temp_dir.h"

namespace malvorn::jet {

inline std::string builtBytes(const std::vector<testing::JetBuildTable>& tables,
                              testing::JetVersion version = testing::JetVersion::kJet4) {
    const auto bytes = testing::buildJetFile(tables, version);
    return std::string(bytes.begin(), bytes.end());
}

inline std::uint32_t u32At(const std::string& bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<std::size_t>(i)));
    return value;
}

inline void putU32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        bytes.at(at + i) = static_cast<char>(value >> (8 * i));
}

// Where the row a pointer (page << 8 | row) names starts: its offset is in
// the page's row table, after 14 bytes of page header in Jet 4 and ACE, 10 in
// Jet 3.
inline std::size_t rowStart(const std::string& bytes, std::uint32_t pointer,
                            testing::JetVersion version = testing::JetVersion::kJet4) {
    const std::size_t page = (pointer >> 8) * testing::jetPageSize(version);
    const std::size_t slot =
        page + (version != testing::JetVersion::kJet3 ? 14 : 10) + 2 * (pointer & 0xFF);
    return page + ((static_cast<unsigned char>(bytes.at(slot)) |
                    static_cast<unsigned char>(bytes.at(slot + 1)) << 8) &
                   0x1FFF);
}

}  // namespace malvorn::jet
