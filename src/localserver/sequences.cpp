// CREATE, ALTER and DROP SEQUENCE, and NEXTVAL / CURRVAL as the SQL functions
// mv_seq_next and mv_seq_curr. A value is taken by the counter's own
// connection (sequence_catalog.cpp), so a rollback does not give it back and
// no two sessions get the same one, as on the server.
#include "localserver/errors.h"
#include "localserver/local_session.h"

namespace malvorn::localserver {

void LocalSession::defineSequenceFunctions() {
    // The second argument keeps SQLite from taking the call for a constant:
    // each row gets a value of its own.
    db_.defineFunction("mv_seq_next", 2, [this](const std::vector<SqlValue>& args) -> SqlValue {
        const auto id = std::get<std::int64_t>(args.at(0));
        if (!sequenceCounter_) {
            sequenceCounter_ = std::make_unique<SequenceCounter>(folder_ + "/catalog.db");
            sequenceCounter_->setBusyWait(kLockWait);
        }
        const Number value = sequenceCounter_->next(id);
        currentValues_[id] = value;
        return value;
    });
    db_.defineFunction("mv_seq_curr", 3, [this](const std::vector<SqlValue>& args) -> SqlValue {
        const auto found = currentValues_.find(std::get<std::int64_t>(args.at(0)));
        if (found == currentValues_.end()) {
            oraThrow(8002, "sequence " + std::get<std::string>(args.at(1)) +
                               ".CURRVAL is not yet defined in this session");
        }
        return found->second;
    });
}

std::optional<std::int64_t> LocalSession::findSequence(const ast::TableRef& ref) {
    const std::string owner = ownerFor(ref);
    if (owner != me_.name && !me_.isDba())
        return std::nullopt;
    const auto sequence = readSequence(db_, owner, ref.name);
    if (!sequence)
        return std::nullopt;
    return sequence->id;
}

void LocalSession::createSequence(const ast::CreateSequence& cs) {
    const UserInfo owner = tableOwner(ownerFor(cs.sequence));
    SequenceState sequence = defineSequence(cs.options);
    sequence.owner = owner.name;
    sequence.name = cs.sequence.name;
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    if (objectNameTaken(db_, sequence.owner, sequence.name))
        oraThrow(955, "name is already used by an existing object");
    writeSequence(db_, sequence);
    bumpGeneration(db_);
    tx.commit();
}

void LocalSession::alterSequence(const ast::AlterSequence& as) {
    const std::string owner = ownerFor(as.sequence);
    if (owner != me_.name)
        requireDba();
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    auto sequence = readSequence(db_, owner, as.sequence.name);
    if (!sequence)
        oraThrow(2289, "sequence does not exist");
    alterSequenceState(*sequence, as.options);
    writeSequence(db_, *sequence);
    bumpGeneration(db_);
    tx.commit();
}

void LocalSession::dropSequence(const ast::DropSequence& ds) {
    const std::string owner = ownerFor(ds.sequence);
    if (owner != me_.name)
        requireDba();
    const ChangeSignal::Change change(signal_);
    CatalogTransaction tx(db_);
    const auto sequence = readSequence(db_, owner, ds.sequence.name);
    if (!sequence || !removeSequence(db_, owner, ds.sequence.name))
        oraThrow(2289, "sequence does not exist");
    bumpGeneration(db_);
    tx.commit();
    currentValues_.erase(sequence->id);
}

}  // namespace malvorn::localserver
