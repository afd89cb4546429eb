#pragma once

// Where a table's columns and indexes go in the file, and its rows' bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "jet_builder/jet_builder.h"
#include "jet_builder/jet_pages.h"

namespace malvorn::testing::jet_file {

struct ColumnLayout {
    JetBuildField field;
    int number = 0;  // stored column number, also the bit in the null mask
    bool fixed = false;
    int fixedOffset = 0;
    int fixedSize = 0;
    int varIndex = 0;
    int length = 0;    // the table definition's column length
    int fileType = 0;  // the column type stored in the file
};

struct IndexLayout {
    std::string name;
    std::vector<int> columns;      // column numbers
    std::vector<bool> descending;  // per key column
    bool primary = false;
    bool unique = false;
    bool relationship = false;
    std::uint32_t physical = 0;  // the physical index this entry uses
    std::uint32_t leafPage = 0;
};

struct TableLayout {
    std::string name;
    bool system = false;
    std::uint32_t catalogFlags = 0;
    std::vector<ColumnLayout> columns;
    int maxColumns = 0;                // one past the highest stored column number
    std::vector<IndexLayout> indexes;  // logical entries, in the order listed
    std::uint32_t physicalCount = 0;
    int varCount = 0;
    int fixedAreaSize = 0;
    std::uint32_t tdefPage = 0;
    std::uint32_t rowCount = 0;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t usageMap = 0;  // row pointers
    std::uint32_t freeMap = 0;
};

TableLayout layoutTable(const JetBuildTable& table, const Format& format);

// One row of `t` as stored on a data page; memo and OLE values go to
// `longValues` when they do not fit inline.
Bytes buildRow(const TableLayout& t, const std::vector<JetBuildValue>& values, std::size_t rowIndex,
               const Format& format, const TextEncoder& text, LongValues& longValues);

}  // namespace malvorn::testing::jet_file
