#include "cli/jet_warnings.h"

#include <cstdio>
#include <set>

#include "jet/jet_error.h"
#include "transfer/carried_types.h"

namespace malvorn::cli {
namespace {

class WarningJetSource : public jet::JetSource {
  public:
    explicit WarningJetSource(std::unique_ptr<jet::JetSource> inner) : inner_(std::move(inner)) {}

    std::vector<std::string> tableNames() override { return inner_->tableNames(); }
    std::vector<std::string> userTableNames() override { return inner_->userTableNames(); }

    model::JetTableDef readTable(const std::string& name) override {
        model::JetTableDef table = inner_->readTable(name);
        for (const auto& note : transfer::leftOutNotes(table))
            say(note);
        for (const auto& warning : transfer::uncarriedWarnings(table))
            say(warning);
        return table;
    }

    model::JetTableSchema readSchema(const std::string& name) override {
        return inner_->readSchema(name);
    }
    std::vector<model::StoredQueryRows> queryCatalog() override { return inner_->queryCatalog(); }

    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override {
        noteLeftOut(name);  // before the rows: the reader serves one request at a time
        auto rows = inner_->openRows(name);
        for (const auto& warning : transfer::uncarriedWarnings(name, rows->columns()))
            say(warning);
        return rows;
    }

    std::unique_ptr<jet::JetRowCursor> openFlatRows(const std::string& name) override {
        return inner_->openFlatRows(name);
    }

  private:
    // The rows leave out what the definition leaves out; said here too for
    // the commands that only read rows (inserts). A definition that cannot be
    // read is no reason to stop: the rows carry their own column names, and
    // the commands that need the definition read it themselves.
    void noteLeftOut(const std::string& name) {
        model::JetTableDef table;
        try {
            table = inner_->readTable(name);
        } catch (const jet::JetError&) {
            return;
        }
        for (const auto& note : transfer::leftOutNotes(table))
            say(note);
    }

    // A table both read and copied warns once.
    void say(const std::string& text) {
        if (said_.insert(text).second)
            std::fprintf(stderr, "malvorn-cli: %s\n", text.c_str());
    }

    std::unique_ptr<jet::JetSource> inner_;
    std::set<std::string> said_;
};

}  // namespace

std::unique_ptr<jet::JetSource> warningJetSource(std::unique_ptr<jet::JetSource> inner) {
    return std::make_unique<WarningJetSource>(std::move(inner));
}

}  // namespace malvorn::cli
