#include "jet/schema_protocol.h"

#include "jet/jet_protocol.h"

namespace malvorn::jet::protocol {
namespace {

// Lists are filled one entry at a time: a broken count runs into the end of
// the payload instead of reserving memory without end.
std::uint32_t countOf(PayloadReader& in) {
    return in.u32();
}

void writeTexts(PayloadWriter& out, const std::vector<std::string>& texts) {
    out.u32(static_cast<std::uint32_t>(texts.size()));
    for (const auto& text : texts)
        out.text(text);
}

std::vector<std::string> readTexts(PayloadReader& in) {
    std::vector<std::string> texts;
    for (std::uint32_t i = countOf(in); i > 0; --i)
        texts.push_back(in.text());
    return texts;
}

constexpr std::uint8_t kPrimary = 1, kUnique = 2, kIgnoreNulls = 4, kRequired = 8;
constexpr std::uint8_t kAuto = 1, kGuidAuto = 2, kFieldRequired = 4, kZeroLength = 8;

}  // namespace

std::string encodeTableSchema(const model::JetTableSchema& schema) {
    PayloadWriter out;
    out.text(schema.name)
        .text(schema.validationRule)
        .text(schema.validationText)
        .text(schema.description);
    out.u32(static_cast<std::uint32_t>(schema.fields.size()));
    for (const auto& field : schema.fields) {
        out.text(field.name)
            .u8(static_cast<std::uint8_t>(
                (field.autoIncrement ? kAuto : 0) | (field.guidAuto ? kGuidAuto : 0) |
                (field.required ? kFieldRequired : 0) | (field.allowZeroLength ? kZeroLength : 0)))
            .text(field.validationRule)
            .text(field.validationText)
            .text(field.description);
    }
    out.u32(static_cast<std::uint32_t>(schema.indexes.size()));
    for (const auto& index : schema.indexes) {
        out.text(index.name)
            .u8(static_cast<std::uint8_t>(
                (index.primary ? kPrimary : 0) | (index.unique ? kUnique : 0) |
                (index.ignoreNulls ? kIgnoreNulls : 0) | (index.required ? kRequired : 0)));
        out.u32(static_cast<std::uint32_t>(index.columns.size()));
        for (const auto& column : index.columns)
            out.text(column.field).u8(column.descending ? 1 : 0);
    }
    out.u32(static_cast<std::uint32_t>(schema.relationships.size()));
    for (const auto& relationship : schema.relationships) {
        out.text(relationship.name).text(relationship.table).text(relationship.referencedTable);
        out.u32(relationship.attributes);
        writeTexts(out, relationship.columns);
        writeTexts(out, relationship.referencedColumns);
    }
    return out.take();
}

model::JetTableSchema decodeTableSchema(const std::string& payload) {
    PayloadReader in(payload);
    model::JetTableSchema schema;
    schema.name = in.text();
    schema.validationRule = in.text();
    schema.validationText = in.text();
    schema.description = in.text();
    for (std::uint32_t i = countOf(in); i > 0; --i) {
        auto& field = schema.fields.emplace_back();
        field.name = in.text();
        const std::uint8_t flags = in.u8();
        field.autoIncrement = (flags & kAuto) != 0;
        field.guidAuto = (flags & kGuidAuto) != 0;
        field.required = (flags & kFieldRequired) != 0;
        field.allowZeroLength = (flags & kZeroLength) != 0;
        field.validationRule = in.text();
        field.validationText = in.text();
        field.description = in.text();
    }
    for (std::uint32_t i = countOf(in); i > 0; --i) {
        auto& index = schema.indexes.emplace_back();
        index.name = in.text();
        const std::uint8_t flags = in.u8();
        index.primary = (flags & kPrimary) != 0;
        index.unique = (flags & kUnique) != 0;
        index.ignoreNulls = (flags & kIgnoreNulls) != 0;
        index.required = (flags & kRequired) != 0;
        for (std::uint32_t k = countOf(in); k > 0; --k) {
            auto& column = index.columns.emplace_back();
            column.field = in.text();
            column.descending = in.u8() != 0;
        }
    }
    for (std::uint32_t i = countOf(in); i > 0; --i) {
        auto& relationship = schema.relationships.emplace_back();
        relationship.name = in.text();
        relationship.table = in.text();
        relationship.referencedTable = in.text();
        relationship.attributes = in.u32();
        relationship.columns = readTexts(in);
        relationship.referencedColumns = readTexts(in);
        if (relationship.columns.size() != relationship.referencedColumns.size())
            throw ProtocolError("a relationship's column lists differ in length");
    }
    if (!in.atEnd())
        throw ProtocolError("bytes after the table schema");
    return schema;
}

}  // namespace malvorn::jet::protocol
