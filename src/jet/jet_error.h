#pragma once

#include <stdexcept>
#include <string>

namespace malvorn::jet {

enum class JetErrorKind {
    kNoFile,        // nothing readable at the path
    kNotJet,        // the file is not a Jet database
    kDamaged,       // a Jet database whose pages cannot be read
    kNoSuchTable,   // the table name is not in the database
    kReaderFailed,  // the reading process crashed, hung or could not start
    kEncrypted,     // the file is encrypted with a password
};

// A failure to read a Jet database. `what()` is the message for the user,
// in Japanese; it names the file or table it is about.
class JetError : public std::runtime_error {
  public:
    JetError(JetErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    JetErrorKind kind() const { return kind_; }

  private:
    JetErrorKind kind_;
};

// The user-facing message of each kind; `subject` is the path or the table.
std::string jetErrorMessage(JetErrorKind kind, const std::string& subject,
                            const std::string& detail = std::string());

// The warning for a table whose rows, read to the end, do not match the row
// count its definition records.
std::string rowCountWarning(const std::string& path, const std::string& table,
                            std::int64_t delivered, std::int64_t recorded);

// The failure of a copy whose table gave fewer rows than its definition
// records, naming both counts and the file.
std::string shortTableMessage(const std::string& path, const std::string& table,
                              std::int64_t delivered, std::int64_t recorded);

JetError makeJetError(JetErrorKind kind, const std::string& subject,
                      const std::string& detail = std::string());

}  // namespace malvorn::jet
