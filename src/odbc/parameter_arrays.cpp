#include "odbc/parameter_arrays.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace malvorn::odbc {
namespace {

// The kinds of bound values, by their place in the variant.
constexpr std::size_t kText = 1;
constexpr std::size_t kNumber = 2;
constexpr std::size_t kDateTime = 3;
constexpr std::size_t kBytes = 4;
static_assert(std::is_same_v<std::variant_alternative_t<kDateTime, oracle::BoundValue>,
                             oracle::BoundDateTime>);

// Not a status any driver writes: marks the rows it left alone.
constexpr SQLUSMALLINT kUntouched = 0xFFFF;
constexpr std::size_t kMaxPrecision = 38;
// Longer values than these go as long data: the plain types' limit.
constexpr std::size_t kMaxPlainText = 4000;
constexpr std::size_t kMaxPlainBytes = 2000;

// The characters or bytes a value takes in its buffer; 0 for the others.
std::size_t lengthOf(const oracle::BoundValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return text->size();
    if (const auto* number = std::get_if<oracle::BoundNumber>(&value))
        return number->text.size();
    if (const auto* bytes = std::get_if<oracle::BoundBytes>(&value))
        return bytes->bytes.size();
    return 0;
}

const std::string& bytesOf(const oracle::BoundValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* number = std::get_if<oracle::BoundNumber>(&value))
        return number->text;
    return std::get<oracle::BoundBytes>(value).bytes;
}

// Digits before and after the point of a number text, exponent applied.
std::pair<std::size_t, std::size_t> digitsOf(const std::string& text) {
    const std::size_t e = text.find_first_of("eE");
    const std::string mantissa = text.substr(0, e);
    const long exponent =
        e == std::string::npos ? 0 : std::strtol(text.c_str() + e + 1, nullptr, 10);
    const std::size_t point = mantissa.find('.');
    const long whole = static_cast<long>(std::count_if(
        mantissa.begin(), point == std::string::npos ? mantissa.end() : mantissa.begin() + point,
        [](char c) { return c >= '0' && c <= '9'; }));
    const long fraction =
        point == std::string::npos ? 0 : static_cast<long>(mantissa.size() - point - 1);
    return {static_cast<std::size_t>(std::max(0L, whole + exponent)),
            static_cast<std::size_t>(std::max(0L, fraction - exponent))};
}

}  // namespace

ParameterArrays::ParameterArrays(const std::vector<oracle::BoundRow>& rows, std::size_t from,
                                 std::size_t to, std::size_t columns)
    : count_(to - from), columns_(columns), status_(count_, kUntouched) {
    for (std::size_t i = 0; i < columns && uniform_; ++i)
        fill(columns_[i], rows, from, i);
}

void ParameterArrays::fill(Column& column, const std::vector<oracle::BoundRow>& rows,
                           std::size_t from, std::size_t index) {
    std::size_t kind = 0;
    std::size_t longest = 0;
    std::size_t whole = 1;
    std::size_t scale = 0;
    for (std::size_t r = from; r < from + count_; ++r) {
        const oracle::BoundValue& value = rows[r][index];
        if (value.index() == 0)
            continue;
        if (kind != 0 && value.index() != kind) {
            uniform_ = false;
            return;
        }
        kind = value.index();
        longest = std::max(longest, lengthOf(value));
        if (const auto* number = std::get_if<oracle::BoundNumber>(&value)) {
            const auto [before, after] = digitsOf(number->text);
            whole = std::max(whole, before);
            scale = std::max(scale, after);
        }
    }
    const bool timestamp = kind == kDateTime;
    column.stride = timestamp ? static_cast<SQLLEN>(sizeof(SQL_TIMESTAMP_STRUCT))
                              : static_cast<SQLLEN>(longest + 1);
    column.size = std::max<std::size_t>(longest, 1);
    if (kind == kText) {
        column.sqlType = longest > kMaxPlainText ? SQL_LONGVARCHAR : SQL_VARCHAR;
    } else if (kind == kNumber) {
        column.sqlType = SQL_NUMERIC;
        column.size = std::min(whole + scale, kMaxPrecision);
        column.digits = static_cast<SQLSMALLINT>(std::min(scale, column.size));
    } else if (timestamp) {
        column.cType = SQL_C_TYPE_TIMESTAMP;
        column.sqlType = SQL_TYPE_TIMESTAMP;
        column.size = 19;  // "yyyy-mm-dd hh:mm:ss"
    } else if (kind == kBytes) {
        column.cType = SQL_C_BINARY;
        column.sqlType = longest > kMaxPlainBytes ? SQL_LONGVARBINARY : SQL_VARBINARY;
    }
    column.data.assign(static_cast<std::size_t>(column.stride) * count_, '\0');
    column.lengths.assign(count_, SQL_NULL_DATA);
    for (std::size_t r = 0; r < count_; ++r) {
        const oracle::BoundValue& value = rows[from + r][index];
        char* slot = column.data.data() + r * static_cast<std::size_t>(column.stride);
        if (const auto* d = std::get_if<oracle::BoundDateTime>(&value)) {
            const SQL_TIMESTAMP_STRUCT t{static_cast<SQLSMALLINT>(d->year),
                                         static_cast<SQLUSMALLINT>(d->month),
                                         static_cast<SQLUSMALLINT>(d->day),
                                         static_cast<SQLUSMALLINT>(d->hour),
                                         static_cast<SQLUSMALLINT>(d->minute),
                                         static_cast<SQLUSMALLINT>(d->second),
                                         0};
            std::memcpy(slot, &t, sizeof t);
            column.lengths[r] = sizeof t;
        } else if (value.index() != 0) {
            const std::string& bytes = bytesOf(value);
            std::memcpy(slot, bytes.data(), bytes.size());
            column.lengths[r] = static_cast<SQLLEN>(bytes.size());
        }
    }
}

SQLRETURN ParameterArrays::bind(const OdbcHandle& stmt) {
    const auto attribute = [&](SQLINTEGER name, SQLPOINTER value) {
        return SQLSetStmtAttr(stmt.get(), name, value, 0);
    };
    SQLRETURN rc =
        attribute(SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN));
    if (SQL_SUCCEEDED(rc))
        rc = attribute(SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(count_));
    if (SQL_SUCCEEDED(rc))
        rc = attribute(SQL_ATTR_PARAM_STATUS_PTR, status_.data());
    for (std::size_t i = 0; i < columns_.size() && SQL_SUCCEEDED(rc); ++i) {
        Column& c = columns_[i];
        rc = SQLBindParameter(stmt.get(), static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT,
                              c.cType, c.sqlType, c.size, c.digits, c.data.data(), c.stride,
                              c.lengths.data());
    }
    return rc;
}

std::size_t ParameterArrays::firstFailed() const {
    // Some drivers (PostgreSQL's) mark every row of a failed array as failed:
    // that names no row.
    if (count_ > 1 && std::all_of(status_.begin(), status_.begin() + count_,
                                  [](SQLUSMALLINT s) { return s == SQL_PARAM_ERROR; }))
        return count_;
    for (std::size_t i = 0; i < count_; ++i) {
        if (status_[i] == SQL_PARAM_ERROR)
            return i;
        if (status_[i] != SQL_PARAM_SUCCESS && status_[i] != SQL_PARAM_SUCCESS_WITH_INFO)
            break;
    }
    return count_;
}

std::size_t runEnd(const std::vector<oracle::BoundRow>& rows, std::size_t from, std::size_t limit,
                   std::size_t budget) {
    if (from >= rows.size())
        return from;
    std::vector<std::size_t> widest(rows[from].size(), 0);
    std::size_t end = from;
    while (end < rows.size() && end - from < limit) {
        std::size_t rowBytes = 0;
        for (std::size_t i = 0; i < widest.size() && i < rows[end].size(); ++i)
            rowBytes += std::max(widest[i], lengthOf(rows[end][i])) + sizeof(SQL_TIMESTAMP_STRUCT);
        if (end > from && rowBytes * (end - from + 1) > budget)
            break;
        for (std::size_t i = 0; i < widest.size() && i < rows[end].size(); ++i)
            widest[i] = std::max(widest[i], lengthOf(rows[end][i]));
        ++end;
    }
    return end;
}

}  // namespace malvorn::odbc
