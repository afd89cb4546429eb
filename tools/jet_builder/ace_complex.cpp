#include "jet_builder/ace_complex.h"

#include <zlib.h>

#include <cstdio>
#include <stdexcept>

#include "jet_builder/ace_types.h"
#include "model/jet_table.h"

namespace malvorn::testing::ace {
namespace {

constexpr std::uint32_t kSystemObject = 0x80000002u;

std::string u32(std::uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::string out(size, '\0');
    if (compress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(bytes.data()),
                 static_cast<uLong>(bytes.size())) != Z_OK)
        throw std::runtime_error("zlib could not deflate an attachment");
    out.resize(size);
    return out;
}

std::string flatName(std::size_t n, const std::string& field) {
    char hex[33];
    std::snprintf(hex, sizeof hex, "%032zX", 0xC0DE0000u + n);
    return "f_" + std::string(hex) + "_" + field;
}

std::size_t indexOf(const std::vector<JetBuildTable>& tables, const std::string& name) {
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (tables[i].name == name)
            return i;
    }
    throw std::runtime_error("no table " + name + " for a complex column");
}

JetBuildTable flatTable(const JetBuildComplexColumn& column, std::size_t n) {
    using namespace model;
    JetBuildTable flat{.name = flatName(n, column.field), .catalogFlags = kSystemObject};
    flat.fields = {{.name = "_" + column.field, .type = kJetLong},
                   {.name = column.table + "_" + column.field, .type = kJetLong}};
    std::int64_t element = 0;
    if (!column.attachment) {
        flat.fields.push_back({.name = "Value", .type = column.valueType, .size = 255});
        for (const auto& [link, value] : column.elements)
            flat.rows.push_back({link, ++element, value});
        return flat;
    }
    const std::vector<JetBuildField> files = {
        {.name = "FileData", .type = kJetOle},
        {.name = "FileFlags", .type = kJetLong},
        {.name = "FileName", .type = kJetText, .size = 255},
        {.name = "FileTimeStamp", .type = kJetDate},
        {.name = "FileType", .type = kJetText, .size = 255},
        {.name = "FileURL", .type = kJetMemo},
    };
    flat.fields.insert(flat.fields.end(), files.begin(), files.end());
    for (const auto& file : column.files)
        flat.rows.push_back({file.link, ++element, attachmentFileData(file), std::monostate{},
                             file.name, std::monostate{}, file.extension, std::monostate{}});
    return flat;
}

}  // namespace

std::string attachmentFileData(const JetBuildAttachment& file) {
    std::string extension;
    for (const char c : file.extension + '\0')
        extension += std::string{c, '\0'};
    const std::string inner = u32(static_cast<std::uint32_t>(12 + extension.size())) + u32(1) +
                              u32(static_cast<std::uint32_t>(file.extension.size() + 1)) +
                              extension + file.bytes;
    return u32(file.compressed ? 1 : 0) + u32(static_cast<std::uint32_t>(inner.size())) +
           (file.compressed ? deflated(inner) : inner);
}

std::vector<JetBuildTable> withComplexColumns(std::vector<JetBuildTable> tables,
                                              const std::vector<JetBuildComplexColumn>& columns) {
    using namespace model;
    JetBuildTable catalog{.name = "MSysComplexColumns", .catalogFlags = kSystemObject};
    catalog.fields = {{.name = "ColumnName", .type = kJetText, .size = 255},
                      {.name = "ComplexTypeObjectID", .type = kJetLong},
                      {.name = "FlatTableID", .type = kJetLong},
                      {.name = "ConceptualTableID", .type = kJetLong},
                      {.name = "ComplexID", .type = kJetLong}};
    for (std::size_t n = 0; n < columns.size(); ++n) {
        const auto& column = columns[n];
        const std::size_t parent = indexOf(tables, column.table);
        tables.push_back(flatTable(column, n));
        // The type object (the engine's MSysComplexType_* table) is not
        // written; the readers tell the kinds apart by the flat columns.
        catalog.rows.push_back(
            {column.field, std::int64_t{0}, std::int64_t{jetCatalogId(tables.size() - 1)},
             std::int64_t{jetCatalogId(parent)}, static_cast<std::int64_t>(n + 1)});
    }
    tables.push_back(std::move(catalog));
    return tables;
}

}  // namespace malvorn::testing::ace
