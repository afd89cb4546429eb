#pragma once

// The parts of a Jet file around its tables' rows: the header page, the
// catalog (MSysObjects) with the columns' properties, table definitions and
// usage maps.
#include <cstdint>
#include <string>
#include <vector>

#include "jet_builder/jet_pages.h"
#include "jet_builder/jet_tables.h"

namespace malvorn::testing::jet_file {

void writeHeaderPage(Bytes& p, const Format& format, int codePage);

// The catalog table, and its row for one table (lvProp: the column properties).
// With `links` it also has the columns of linked tables' entries (Connect,
// Database, ForeignName), which every row then fills (withLinkColumns).
TableLayout catalogLayout(const Format& format, bool links = false);
std::vector<JetBuildValue> withLinkColumns(std::vector<JetBuildValue> row,
                                           const JetBuildLink* link = nullptr);
std::vector<JetBuildValue> catalogRow(std::uint32_t id, const std::string& name, std::int64_t flags,
                                      const Bytes& lvProp, std::int64_t type = 1);
// The properties blob (MSysObjects.LvProp) of a table's columns.
Bytes columnProperties(const TableLayout& t, const Format& format, const TextEncoder& text);

// A table definition as one stream, and that stream spread over its first
// page and as many continuation pages as it needs.
Bytes tableDefinition(const TableLayout& t, const Format& format, const TextEncoder& text,
                      int codePage);
void writeTableDefinition(PageStore& store, const Format& format, std::uint32_t firstPage,
                          const Bytes& stream);

// The table's usage map (its data pages) and its empty free-space map.
void addUsageMaps(TableLayout& t, RowPages& mapPages, std::size_t pageCount, const Format& format);

}  // namespace malvorn::testing::jet_file
