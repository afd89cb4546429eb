#include "core/migrate_verify.h"

#include <cstdlib>

#include "convert/safe_names.h"
#include "convert/script_text.h"
#include "core/external_sort.h"
#include "core/verify_values.h"
#include "encoding/ascii.h"
#include "jet/jet_protocol.h"

namespace malvorn::core {
namespace {

// A missing cell reads as NULL; both arms of a choice must be lvalues, or
// the present cell is copied.
const jet::JetValue kNoValue;

bool sameNumber(const std::string& expected, const std::string& server) {
    const auto a = exactDecimal(expected);
    const auto b = exactDecimal(server);
    if (a && b)
        return *a == *b;
    char* endA = nullptr;
    char* endB = nullptr;
    const long double x = std::strtold(expected.c_str(), &endA);
    const long double y = std::strtold(server.c_str(), &endB);
    return *endA == '\0' && *endB == '\0' && x == y;
}

std::string shown(const std::optional<std::string>& value, ValueKind kind) {
    if (!value)
        return "NULL";
    std::string text = kind == ValueKind::kBytes ? encoding::hexText(*value) : *value;
    constexpr std::size_t kShownBytes = 40;
    return text.size() > kShownBytes ? text.substr(0, kShownBytes) + "..." : text;
}

std::string columnName(const model::JetFieldDef& field, bool oracleSafe) {
    return oracleSafe ? convert::oracleName(field.name) : convert::fNarrowName(field.name);
}

std::string selectText(const model::JetTableDef& table, bool oracleSafe,
                       const std::vector<std::size_t>& key) {
    std::string list;
    for (const auto& field : table.fields) {
        const std::string name = columnName(field, oracleSafe);
        list += list.empty() ? "" : ", ";
        if (field.typeCode == model::kJetDate)
            list += "TO_CHAR(" + name + ", 'YYYY-MM-DD HH24:MI:SS')";
        else if (field.typeCode == model::kJetDateTimeExtended)
            list += "TO_CHAR(" + name + ", 'YYYY-MM-DD HH24:MI:SS.FF7')";
        else
            list += name;
    }
    std::string order;
    for (const std::size_t column : key)
        order +=
            (order.empty() ? " ORDER BY " : ", ") + columnName(table.fields[column], oracleSafe);
    return "SELECT " + list + " FROM " +
           (oracleSafe ? convert::oracleName(table.name) : table.name) + order;
}

// The first value of Jet row `number` the server row does not hold, in words.
std::optional<std::string> rowDifference(std::int64_t number,
                                         const std::vector<jet::JetColumn>& columns,
                                         const jet::JetRow& row, oracle::ResultSet& server,
                                         bool oracleSafe) {
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const jet::JetColumn& column = columns[i];
        const jet::JetValue& value = i < row.size() ? row[i] : kNoValue;
        const oracle::Value held = server.value(i);
        if (!sameValue(column.typeCode, value, held, oracleSafe)) {
            const ValueKind kind = valueKindOf(column.typeCode);
            return std::to_string(number) + " 行目の " + column.name + ": Jet " +
                   shown(expectedText(column.typeCode, value, oracleSafe), kind) + " / サーバー " +
                   shown(held, ValueKind::kText);
        }
    }
    return std::nullopt;
}

std::string keyOf(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row,
                  const std::vector<std::size_t>& key, bool oracleSafe) {
    std::string bytes;
    for (const std::size_t i : key) {
        const jet::JetValue& value = i < row.size() ? row[i] : kNoValue;
        appendKeyPart(bytes, valueKindOf(columns[i].typeCode),
                      expectedText(columns[i].typeCode, value, oracleSafe));
    }
    return bytes;
}

// Compares Jet rows, given in the server's order, with the server's rows.
class OrderedComparison {
  public:
    OrderedComparison(std::unique_ptr<oracle::ResultSet> server, bool oracleSafe,
                      VerifyResult& result)
        : server_(std::move(server)), oracleSafe_(oracleSafe), result_(result) {}

    void compare(const std::vector<jet::JetColumn>& columns, const jet::JetRow& row) {
        if (result_.difference)
            return;
        const std::int64_t number = result_.rowsVerified + 1;
        if (!server_->next())
            result_.difference = std::to_string(number) + " 行目以降がサーバーにありません";
        else if (auto difference = rowDifference(number, columns, row, *server_, oracleSafe_))
            result_.difference = std::move(difference);
        else
            result_.rowsVerified = number;
    }
    void finish() {
        if (!result_.difference && server_->next())
            result_.difference = "サーバーに Jet より多くの行があります";
    }

  private:
    std::unique_ptr<oracle::ResultSet> server_;
    bool oracleSafe_;
    VerifyResult& result_;
};

// The file's rows in file order, as long as that is the key's order. False
// when a row came before the one ahead of it in the key: then nothing this
// pass found counts.
bool compareInFileOrder(oracle::Session& session, jet::JetSource& source,
                        const model::JetTableDef& table, bool oracleSafe,
                        const std::vector<std::size_t>& key, VerifyResult& result) {
    OrderedComparison comparison(session.query(selectText(table, oracleSafe, key)), oracleSafe,
                                 result);
    const auto rows = source.openRows(table.name);
    std::string previous;
    jet::JetRow row;
    // After a difference the rows are still read to learn whether the file
    // is in key order: if it is not, the difference may be the order's.
    for (bool first = true; rows->next(row); first = false) {
        std::string current = keyOf(rows->columns(), row, key, oracleSafe);
        if (!first && current < previous)
            return false;
        previous = std::move(current);
        comparison.compare(rows->columns(), row);
    }
    comparison.finish();
    return true;
}

void compareSorted(oracle::Session& session, jet::JetSource& source,
                   const model::JetTableDef& table, bool oracleSafe,
                   const std::vector<std::size_t>& key, const VerifyLimits& limits,
                   VerifyResult& result) {
    ExternalSort sort(limits.sortBudget, limits.tempFolder);
    std::vector<jet::JetColumn> columns;
    {
        const auto rows = source.openRows(table.name);
        columns = rows->columns();
        jet::JetRow row;
        while (rows->next(row)) {
            jet::protocol::PayloadWriter payload;
            payload.u32(static_cast<std::uint32_t>(row.size()));
            for (const auto& value : row)
                jet::protocol::writeValue(payload, value);
            sort.add({keyOf(columns, row, key, oracleSafe), payload.take()});
        }
    }
    OrderedComparison comparison(session.query(selectText(table, oracleSafe, key)), oracleSafe,
                                 result);
    SortRecord record;
    jet::JetRow row;
    while (sort.next(record)) {
        jet::protocol::PayloadReader in(record.payload);
        row.resize(in.u32());
        for (auto& value : row)
            value = jet::protocol::readValue(in);
        comparison.compare(columns, row);
    }
    comparison.finish();
    result.spilledRuns = sort.spilledRuns();
}

void compareChecksums(oracle::Session& session, jet::JetSource& source,
                      const model::JetTableDef& table, bool oracleSafe, VerifyResult& result) {
    RowChecksum onServer;
    std::vector<std::optional<std::string>> values(table.fields.size());
    {
        const auto server = session.query(selectText(table, oracleSafe, {}));
        while (server->next()) {
            for (std::size_t i = 0; i < values.size(); ++i)
                values[i] =
                    checksumForm(valueKindOf(table.fields[i].typeCode), server->value(i), true);
            onServer.add(values);
        }
    }
    RowChecksum inFile;
    const auto rows = source.openRows(table.name);
    jet::JetRow row;
    while (rows->next(row)) {
        values.assign(rows->columns().size(), std::nullopt);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::int16_t type = rows->columns()[i].typeCode;
            const jet::JetValue& value = i < row.size() ? row[i] : kNoValue;
            values[i] =
                checksumForm(valueKindOf(type), expectedText(type, value, oracleSafe), false);
        }
        inFile.add(values);
    }
    if (onServer.rows() != inFile.rows())
        result.difference = "行数が異なります (Jet " + std::to_string(inFile.rows()) +
                            " / サーバー " + std::to_string(onServer.rows()) + ")";
    else if (!(onServer == inFile))
        result.difference = "キーのない表の行の内容が異なります (全列のチェックサムが不一致)";
    else
        result.rowsVerified = inFile.rows();
}

}  // namespace

const char* verifyMethodName(VerifyMethod method) {
    return method == VerifyMethod::kKeyOrder ? "key order" : "checksum";
}

bool sameValue(std::int16_t typeCode, const jet::JetValue& value, const oracle::Value& server,
               bool oracleSafe) {
    const auto expected = expectedText(typeCode, value, oracleSafe);
    if (!expected || !server)
        return !expected && !server;
    switch (valueKindOf(typeCode)) {
        case ValueKind::kNumber:
            return sameNumber(*expected, *server);
        case ValueKind::kBytes:
            return *server == *expected ||
                   encoding::equalsIgnoringAsciiCase(*server, encoding::hexText(*expected));
        default:
            return *server == *expected;
    }
}

std::optional<std::vector<std::size_t>> verifyKeyColumns(const model::JetTableDef& table,
                                                         bool oracleSafe) {
    const auto& index = oracleSafe ? table.primaryIndex : table.firstIndex;
    if (!index || index->fieldNames.empty())
        return std::nullopt;
    std::vector<std::size_t> key;
    for (const auto& name : index->fieldNames) {
        std::size_t i = 0;
        while (i < table.fields.size() && table.fields[i].name != name)
            ++i;
        if (i == table.fields.size())
            return std::nullopt;
        key.push_back(i);
    }
    return key;
}

VerifyResult verifyTable(oracle::Session& session, jet::JetSource& source,
                         const model::JetTableDef& table, bool oracleSafe,
                         const VerifyLimits& limits) {
    VerifyResult result;
    const auto key = verifyKeyColumns(table, oracleSafe);
    if (!key) {
        result.method = VerifyMethod::kChecksum;
        compareChecksums(session, source, table, oracleSafe, result);
        return result;
    }
    if (compareInFileOrder(session, source, table, oracleSafe, *key, result))
        return result;
    result = {};
    result.sorted = true;
    compareSorted(session, source, table, oracleSafe, *key, limits, result);
    return result;
}

}  // namespace malvorn::core
