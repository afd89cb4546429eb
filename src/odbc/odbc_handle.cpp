#include "odbc/odbc_handle.h"

#include <algorithm>
#include <utility>

namespace malvorn::odbc {

OdbcHandle::OdbcHandle(SQLSMALLINT type, const OdbcHandle* parent) : type_(type) {
    const SQLRETURN rc = SQLAllocHandle(type, parent ? parent->get() : SQL_NULL_HANDLE, &handle_);
    if (!SQL_SUCCEEDED(rc)) {
        handle_ = SQL_NULL_HANDLE;
        throw HandleRefused(type, parent ? parent->diagnostics() : std::vector<Diagnostic>{});
    }
}

OdbcHandle::~OdbcHandle() {
    SQLFreeHandle(type_, handle_);
}

std::vector<Diagnostic> OdbcHandle::diagnostics() const {
    std::vector<Diagnostic> records;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[SQL_SQLSTATE_SIZE + 1] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        // First ask for the length, then read the whole message: driver
        // messages can run past any fixed buffer.
        SQLRETURN rc = SQLGetDiagRec(type_, handle_, record, state, &native, nullptr, 0, &length);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc))
            break;
        std::string message(static_cast<std::size_t>(length) + 1, '\0');
        rc = SQLGetDiagRec(type_, handle_, record, state, &native,
                           reinterpret_cast<SQLCHAR*>(message.data()),
                           static_cast<SQLSMALLINT>(message.size()), &length);
        if (!SQL_SUCCEEDED(rc))
            break;
        message.resize(std::min<std::size_t>(static_cast<std::size_t>(length), message.size() - 1));
        records.push_back({reinterpret_cast<const char*>(state), native, std::move(message)});
    }
    return records;
}

}  // namespace malvorn::odbc
