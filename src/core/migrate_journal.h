#pragma once

// The migration's journal: where each table stands on the server, written
// whole after every step that changes it, so that a run stopped in any way
// (a signal, a killed process, a lost machine) can be taken up again by
// `--resume` without a row twice or a row missing.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace malvorn::core {

// A table's steps, in order. "clearing"/"creating" are written just before
// the statement that empties or makes the table, "created" once it is empty
// and ready, "copying" as rows are committed, "copied" once the server's
// count matched the rows read, "verified" once every value was read back.
enum class TablePhase { kClearing, kCreating, kCreated, kCopying, kCopied, kVerified };

struct JournalTable {
    std::string table;
    TablePhase phase = TablePhase::kCreating;
    // Rows committed on the server: exact after a batch, a lower bound in
    // the row-by-row copy (each row commits; the journal follows every
    // kJournalEvery rows).
    std::int64_t rows = 0;
};

// What identifies the Jet file: its size, when it was last written
// (nanoseconds since the epoch) and a hash of its first pages.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t modified = 0;
    std::string hash;  // hexadecimal
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` now. Throws base::FileError.
FileStamp stampFile(const std::string& path);

struct MigrateJournal {
    std::string database;
    FileStamp file;
    bool oracleSafe = false;  // the rules decide the names and values on the server
    bool interrupted = false;
    std::vector<JournalTable> tables;
    // The schema statements done after the rows (see schemaKey in
    // migrate_schema.h), so that a resumed run goes on with the rest.
    std::vector<std::string> schemaDone = {};

    // The table's entry; nullptr when the journal has none.
    const JournalTable* find(const std::string& table) const;
    // Sets the table's entry, adding it when there is none.
    void set(const JournalTable& entry);
};

// A journal file that cannot be used; what() names the file.
class JournalError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The journal a run keeps at `path`. A new one (for `database` and its
// stamp now), or with `resume` the one the file holds: refused with a
// JournalError naming the file when it is missing or damaged, was kept for
// another file or under the other rules, or the Jet file has changed since.
// Every change is written whole at once.
class JournalFile {
  public:
    JournalFile(std::string path, const std::string& database, bool oracleSafe, bool resume);
    const MigrateJournal& journal() const { return journal_; }
    void record(const JournalTable& entry);
    void recordSchema(const std::string& key);
    void markInterrupted();

  private:
    void save() const;

    std::string path_;
    MigrateJournal journal_;
};

std::string journalJson(const MigrateJournal& journal);
// Reads what journalJson wrote; `path` is named in the JournalError.
MigrateJournal parseJournal(const std::string& text, const std::string& path);

const char* phaseName(TablePhase phase);

}  // namespace malvorn::core
