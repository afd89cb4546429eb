#include "transfer/carried_types.h"

#include "transfer/row_statements.h"

namespace malvorn::transfer {
namespace {

std::string typeWords(std::int16_t typeCode) {
    const std::string code = "型 " + std::to_string(typeCode);
    if (typeCode == model::kJetComplex)
        return code + ": 複数値またはアタッチメント。行には内部のリンク番号しかありません";
    return code + ": この型の値は移せません";
}

std::string warning(const std::string& table, const std::string& column, std::int16_t typeCode) {
    return "警告: テーブル " + table + " の列 " + column + " の値は書き出しません (" +
           typeWords(typeCode) + ")";
}

}  // namespace

bool carriesValues(std::int16_t typeCode) {
    switch (typeCode) {
        case model::kJetBoolean:
        case model::kJetByte:
        case model::kJetInteger:
        case model::kJetLong:
        case model::kJetCurrency:
        case model::kJetSingle:
        case model::kJetDouble:
        case model::kJetDate:
        case model::kJetBinary:
        case model::kJetText:
        case model::kJetOle:
        case model::kJetMemo:
        case model::kJetGuid:
        case model::kJetBigInt:
        case model::kJetDecimal:
        case model::kJetDateTimeExtended:
            return true;
        default:
            return false;
    }
}

std::vector<std::string> uncarriedWarnings(const std::string& table,
                                           const std::vector<jet::JetColumn>& columns) {
    std::vector<std::string> warnings;
    for (const auto& column : columns) {
        if (!carriesValues(column.typeCode))
            warnings.push_back(warning(table, column.name, column.typeCode));
    }
    return warnings;
}

std::vector<std::string> uncarriedWarnings(const model::JetTableDef& table) {
    std::vector<jet::JetColumn> columns;
    for (const auto& field : table.fields)
        columns.push_back({field.name, field.typeCode});
    return uncarriedWarnings(table.name, columns);
}

std::vector<std::string> leftOutNotes(const model::JetTableDef& table) {
    std::vector<std::string> notes;
    for (const auto& name : table.leftOut)
        notes.push_back("列 " + name +
                        " は長文の履歴へのエンジンのリンクのため省きました (履歴は移しません)");
    for (const auto& field : table.fields) {
        if (field.expression)
            notes.push_back("列 " + field.name + " は計算フィールドです: エンジンが保存した結果を" +
                            "値として移しました。式 " + *field.expression +
                            " は移さず、列の説明に残しました");
    }
    return notes;
}

void requireCarried(const model::JetTableDef& table) {
    for (const auto& field : table.fields) {
        if (!carriesValues(field.typeCode))
            throw LiteralError("テーブル " + table.name + " の列 " + field.name +
                               " は移せません (" + typeWords(field.typeCode) + ")");
    }
}

}  // namespace malvorn::transfer
