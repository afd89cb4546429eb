#pragma once
// Sequences in the catalog (mv_sequence), and the counter that hands out
// their values.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "localserver/ast.h"
#include "localserver/number.h"
#include "localserver/sqlite_db.h"

namespace malvorn::localserver {

// A sequence's definition and where it stands. `next` is the value the next
// NEXTVAL gives (before the bounds are applied); `high` what LAST_NUMBER
// shows: the end of the block of CACHE values the server would have taken.
struct SequenceState {
    std::int64_t id = 0;
    std::string owner;
    std::string name;
    Number minValue;
    Number maxValue;
    Number increment;
    bool cycle = false;
    std::int64_t cache = 20;  // 0: NOCACHE
    Number next;
    Number high;
    bool used = false;  // a value was handed out since creation or RESTART
};

void createSequenceTables(SqliteDb& db);
// True when a table, view or sequence of the owner has the name.
bool objectNameTaken(SqliteDb& db, const std::string& owner, const std::string& name);

std::optional<SequenceState> readSequence(SqliteDb& db, const std::string& owner,
                                          const std::string& name);
// Inside the caller's transaction.
void writeSequence(SqliteDb& db, const SequenceState& sequence);  // new when id is 0
bool removeSequence(SqliteDb& db, const std::string& owner, const std::string& name);
void removeSequencesOf(SqliteDb& db, const std::string& owner);

// CREATE SEQUENCE's options applied with the server's defaults and checks
// (ORA-04002 ... ORA-04015).
SequenceState defineSequence(const ast::SequenceOptions& options);
// ALTER SEQUENCE's options applied to a sequence, with the same checks and
// those against its current value (ORA-04007, ORA-04009).
void alterSequenceState(SequenceState& sequence, const ast::SequenceOptions& options);

// Takes values on a connection of its own, each in a transaction of its own:
// a value handed out is never handed out again, whatever becomes of the
// transaction that asked for it.
class SequenceCounter {
  public:
    explicit SequenceCounter(const std::string& catalogPath);
    // ORA-02289 when the sequence is gone, ORA-08004 past its bound without
    // CYCLE.
    Number next(std::int64_t id);
    void setBusyWait(std::chrono::milliseconds bound) { db_.setBusyWait(bound); }

  private:
    SqliteDb db_;
};

}  // namespace malvorn::localserver
