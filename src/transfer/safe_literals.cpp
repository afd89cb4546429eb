#include "transfer/safe_literals.h"

#include "base/sql_text.h"
#include "convert/safe_names.h"
#include "encoding/ascii.h"
#include "transfer/row_statements.h"

namespace malvorn::transfer {
namespace {

// The end of the piece starting at `from`: at most `limit` bytes, never
// inside a UTF-8 character.
std::size_t pieceEnd(const std::string& text, std::size_t from, std::size_t limit) {
    std::size_t end = std::min(text.size(), from + limit);
    while (end < text.size() && end > from &&
           (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return end;
}

std::string textLiteral(const std::string& text) {
    if (text.size() <= kTextPieceBytes)
        return base::quoteSqlText(text);
    std::string literal;
    for (std::size_t from = 0; from < text.size();) {
        const std::size_t end = pieceEnd(text, from, kTextPieceBytes);
        literal += (literal.empty() ? "" : " || ") + std::string("TO_CLOB(") +
                   base::quoteSqlText(text.substr(from, end - from)) + ")";
        from = end;
    }
    return literal;
}

std::string bytesLiteral(const std::string& bytes) {
    if (bytes.empty())
        return "NULL";
    if (bytes.size() <= kBinaryPieceBytes)
        return "HEXTORAW('" + encoding::hexText(bytes) + "')";
    std::string literal;
    for (std::size_t from = 0; from < bytes.size(); from += kBinaryPieceBytes) {
        literal += (literal.empty() ? "" : " || ") + std::string("TO_BLOB(HEXTORAW('") +
                   encoding::hexText(std::string_view(bytes).substr(from, kBinaryPieceBytes)) +
                   "'))";
    }
    return literal;
}

}  // namespace

std::string safeLiteral(std::int16_t typeCode, const jet::JetValue& value) {
    if (jet::isNull(value) && typeCode != model::kJetBoolean)
        return "NULL";
    if (const auto* text = std::get_if<std::string>(&value))
        return textLiteral(*text);
    if (const auto* binary = std::get_if<jet::JetBinary>(&value))
        return bytesLiteral(binary->bytes);
    return sqlLiteral(typeCode, value);
}

std::string safeStatementHead(const std::string& tableName,
                              const std::vector<model::JetFieldDef>& fields) {
    std::string columns;
    for (const auto& field : fields)
        columns += (columns.empty() ? "" : ", ") + convert::oracleName(field.name);
    return "INSERT INTO " + convert::oracleName(tableName) + " (" + columns + ") VALUES";
}

std::string safeClearStatement(const std::string& tableName) {
    return "DELETE FROM " + convert::oracleName(tableName);
}

std::vector<std::string> safeRowLiterals(const std::vector<jet::JetColumn>& columns,
                                         const jet::JetRow& row) {
    return rowLiteralsBy(safeLiteral, columns, row);
}

std::string dateText(double serial) {
    // The literal is 'yyyy-mm-dd' or TO_DATE('yyyy-mm-dd hh24:mi:ss', ...).
    const std::string literal = dateLiteral(serial);
    if (literal.front() == '\'')
        return literal.substr(1, 10) + " 00:00:00";
    return literal.substr(9, 19);
}

}  // namespace malvorn::transfer
