#pragma once

// Complex columns (multi-value fields and attachments) as the ACE engine
// writes them: the parent row's column holds a link number, a hidden flat
// table holds the elements with that number, and the catalog table
// MSysComplexColumns ties the column to its flat table by catalog ids.
#include <cstdint>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"

namespace malvorn::testing::ace {

struct JetBuildAttachment {
    std::int64_t link = 0;
    std::string name{};       // FileName
    std::string extension{};  // FileType, and the extension inside FileData
    std::string bytes{};      // the file
    bool compressed = true;   // deflated as the engine does for most types
};

struct JetBuildComplexColumn {
    std::string table{};  // the parent table, which has `field` of type kComplex
    std::string field{};
    bool attachment = false;
    // Multi-value: the element type and the (link, element) pairs.
    int valueType = 10;
    std::vector<std::pair<std::int64_t, JetBuildValue>> elements{};
    std::vector<JetBuildAttachment> files{};  // attachment
};

// `tables` followed by one system-flagged flat table per column, named
// "f_<32 hex digits>_<field>", and MSysComplexColumns, ready for
// writeJetFile(..., JetVersion::kAce12).
std::vector<JetBuildTable> withComplexColumns(std::vector<JetBuildTable> tables,
                                              const std::vector<JetBuildComplexColumn>& columns);

// The FileData value of one attachment: the compressed flag, the inflated
// length, then the header (its length, version 1, the extension's
// characters with NUL, the UTF-16 extension) and the file, deflated or not.
std::string attachmentFileData(const JetBuildAttachment& file);

}  // namespace malvorn::testing::ace
