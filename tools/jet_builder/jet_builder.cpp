#include "jet_builder/jet_builder.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <set>

#include "jet_builder/jet_catalog.h"
#include "jet_builder/jet_pages.h"
#include "jet_builder/jet_tables.h"
#include "model/jet_table.h"

// Page layouts follow mdbtools' notes on the Jet format (pages of 4096 bytes in
// Jet 4 and 2048 in Jet 3; table definitions, data pages with a row-offset table
// growing down from the header and rows growing up from the page end, long-value
// pages, usage maps and the property blobs of MSysObjects.LvProp). The writer is
// deliberately plain: one table definition chain per table, rows packed page after
// page, one usage map per table that covers the whole file, and an empty leaf page
// per index (the readers we serve take index definitions from the table
// definition and never walk the index tree).
namespace malvorn::testing {

using namespace jet_file;

namespace {

// The engine numbers its queries' catalog entries from here (negative as
// stored in the Long column).
constexpr std::uint32_t kFirstQueryId = 0x80000100u;

// The query catalog as a system table, one row per query row.
JetBuildTable queryCatalogTable(const std::vector<JetBuildQuery>& queries) {
    JetBuildTable t;
    t.name = "MSysQueries";
    t.catalogFlags = 0x80000002u;
    t.fields = {{.name = "Attribute", .type = model::kJetByte},
                {.name = "Expression", .type = model::kJetMemo},
                {.name = "Flag", .type = model::kJetInteger},
                {.name = "Name1", .type = model::kJetText, .size = 255},
                {.name = "Name2", .type = model::kJetText, .size = 255},
                {.name = "ObjectId", .type = model::kJetLong}};
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const auto id = static_cast<std::int32_t>(kFirstQueryId + q);
        for (const JetBuildQueryRow& row : queries[q].rows) {
            JetBuildValue flag;
            if (row.flag)
                flag = *row.flag;
            t.rows.push_back({std::int64_t{row.attribute}, row.expression, flag, row.name1,
                              row.name2, std::int64_t{id}});
        }
    }
    return t;
}

// The engine numbers linked tables' catalog entries from here (they have no
// definition page to be numbered by).
constexpr std::uint32_t kFirstLinkId = 0x80000200u;

// The catalog's own row, one per table, one per query, one per link.
std::vector<std::vector<JetBuildValue>> catalogRowsOf(const TableLayout& catalog,
                                                      const std::vector<TableLayout>& layouts,
                                                      const std::vector<JetBuildQuery>& queries,
                                                      const std::vector<JetBuildLink>& links,
                                                      const Format& format,
                                                      const TextEncoder& text) {
    std::vector<std::vector<JetBuildValue>> rows;
    rows.push_back(
        catalogRow(catalog.tdefPage, "MSysObjects", static_cast<std::int32_t>(0x80000002u), {}));
    for (const TableLayout& t : layouts)
        rows.push_back(catalogRow(t.tdefPage, t.name, static_cast<std::int32_t>(t.catalogFlags),
                                  columnProperties(t, format, text)));
    for (std::size_t q = 0; q < queries.size(); ++q)
        rows.push_back(catalogRow(kFirstQueryId + static_cast<std::uint32_t>(q), queries[q].name,
                                  static_cast<std::int32_t>(queries[q].catalogFlags), {}, 5));
    if (links.empty())
        return rows;
    for (auto& row : rows)
        row = withLinkColumns(std::move(row));
    for (std::size_t l = 0; l < links.size(); ++l)
        rows.push_back(withLinkColumns(
            catalogRow(kFirstLinkId + static_cast<std::uint32_t>(l), links[l].name,
                       static_cast<std::int32_t>(links[l].catalogFlags), {}, links[l].type()),
            &links[l]));
    return rows;
}

// The Windows code pages a Jet 3 file can name in its header.
void checkCodePage(int codePage) {
    static constexpr int kCodePages[] = {874,  932,  936,  949,  950,  1250, 1251,
                                         1252, 1253, 1254, 1255, 1256, 1257, 1258};
    if (std::find(std::begin(kCodePages), std::end(kCodePages), codePage) == std::end(kCodePages))
        fail("code page " + std::to_string(codePage) + " is not a Windows code page of Jet 3");
}

std::vector<std::uint8_t> buildFile(const std::vector<JetBuildTable>& userTables,
                                    const std::vector<JetBuildQuery>& queries,
                                    const std::vector<JetBuildLink>& links, JetVersion version,
                                    int codePage);

void writeBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        fail("cannot create " + path);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        fail("cannot write " + path);
}

}  // namespace

std::vector<std::uint8_t> buildJetFile(const std::vector<JetBuildTable>& tables, JetVersion version,
                                       int codePage) {
    return buildJetFile(tables, {}, version, codePage);
}

std::vector<std::uint8_t> buildJetFile(const std::vector<JetBuildTable>& userTables,
                                       const std::vector<JetBuildQuery>& queries,
                                       JetVersion version, int codePage) {
    return buildFile(userTables, queries, {}, version, codePage);
}

std::vector<std::uint8_t> buildJetFileWithLinks(const std::vector<JetBuildTable>& tables,
                                                const std::vector<JetBuildLink>& links,
                                                JetVersion version, int codePage) {
    return buildFile(tables, {}, links, version, codePage);
}

void writeJetFileWithLinks(const std::string& path, const std::vector<JetBuildTable>& tables,
                           const std::vector<JetBuildLink>& links, JetVersion version,
                           int codePage) {
    writeBytes(path, buildFile(tables, {}, links, version, codePage));
}

namespace {

std::vector<std::uint8_t> buildFile(const std::vector<JetBuildTable>& userTables,
                                    const std::vector<JetBuildQuery>& queries,
                                    const std::vector<JetBuildLink>& links, JetVersion version,
                                    int codePage) {
    std::vector<JetBuildTable> tables = userTables;
    if (!queries.empty())
        tables.push_back(queryCatalogTable(queries));
    checkCodePage(codePage);
    const Format format(version);
    const TextEncoder text(format, codePage);
    PageStore store(format);

    const std::uint32_t headerPage = store.allocate();
    writeHeaderPage(store.page(headerPage), format, codePage);
    RowPages globalMap(store, format, ownerBytes(0));
    globalMap.add(Bytes{0, 0, 0, 0, 0, 0});  // page 1: the database's own usage map

    TableLayout catalog = catalogLayout(format, !links.empty());
    catalog.tdefPage = store.allocate();
    if (catalog.tdefPage != 2)
        fail("internal: the catalog must sit on page 2");

    std::vector<TableLayout> layouts;
    std::set<std::string> names{"msysobjects"};
    for (const JetBuildTable& table : tables) {
        std::string lower = table.name;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
        if (!names.insert(lower).second)
            fail("two tables named " + table.name);
        layouts.push_back(layoutTable(table, format));
        layouts.back().tdefPage = store.allocate();
        if (layouts.back().tdefPage != jetCatalogId(layouts.size() - 1))
            fail("internal: a table definition is not where jetCatalogId says");
    }

    LongValues longValues(store, format);
    for (std::size_t i = 0; i < tables.size(); ++i) {
        TableLayout& t = layouts[i];
        RowPages data(store, format, ownerBytes(t.tdefPage));
        for (std::size_t r = 0; r < tables[i].rows.size(); ++r)
            data.add(buildRow(t, tables[i].rows[r], r, format, text, longValues));
        t.rowCount = static_cast<std::uint32_t>(tables[i].rows.size());
        t.dataPages = data.pages();
    }

    const auto catalogRows = catalogRowsOf(catalog, layouts, queries, links, format, text);
    RowPages catalogData(store, format, ownerBytes(catalog.tdefPage));
    for (std::size_t r = 0; r < catalogRows.size(); ++r)
        catalogData.add(buildRow(catalog, catalogRows[r], r, format, text, longValues));
    catalog.rowCount = static_cast<std::uint32_t>(catalogRows.size());
    catalog.dataPages = catalogData.pages();

    for (TableLayout& t : layouts) {
        for (IndexLayout& ix : t.indexes) {
            if (ix.relationship)
                continue;
            ix.leafPage = store.allocate();
            Bytes& leaf = store.page(ix.leafPage);
            leaf[0] = 0x04;
            leaf[1] = 0x01;
            set16(leaf, 2, static_cast<unsigned>(format.pageSize - (format.jet4 ? 0x1E0 : 0xF8)));
            set32(leaf, 4, t.tdefPage);
        }
    }

    RowPages mapPages(store, format, ownerBytes(0));
    const std::size_t pageCount = store.count();
    addUsageMaps(catalog, mapPages, pageCount, format);
    for (TableLayout& t : layouts)
        addUsageMaps(t, mapPages, pageCount, format);

    writeTableDefinition(store, format, catalog.tdefPage,
                         tableDefinition(catalog, format, text, codePage));
    for (const TableLayout& t : layouts)
        writeTableDefinition(store, format, t.tdefPage, tableDefinition(t, format, text, codePage));

    return store.contents();
}

}  // namespace

void writeJetFile(const std::string& path, const std::vector<JetBuildTable>& tables,
                  JetVersion version, int codePage) {
    writeJetFile(path, tables, {}, version, codePage);
}

void writeJetFile(const std::string& path, const std::vector<JetBuildTable>& tables,
                  const std::vector<JetBuildQuery>& queries, JetVersion version, int codePage) {
    writeBytes(path, buildJetFile(tables, queries, version, codePage));
}

}  // namespace malvorn::testing
