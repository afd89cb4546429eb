#pragma once

// A front-end file with the tables its links point to. Listed and migrated
// under the link's name, read from the back-end file (found at the stored
// path, or by its file name beside the front end), when the links are
// followed; otherwise the links are only named.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/command.h"
#include "jet/linked_tables.h"

namespace malvorn::core {

class LinkedSource : public jet::JetSource {
  public:
    LinkedSource(jet::JetSource& front, std::string frontPath, JetOpener open, bool follow);

    const std::vector<jet::LinkedTable>& links() const { return links_; }
    bool following() const { return follow_; }

    std::vector<std::string> tableNames() override { return front_.tableNames(); }
    // The front end's own tables, then the followed links.
    std::vector<std::string> userTableNames() override;
    model::JetTableDef readTable(const std::string& name) override;
    std::unique_ptr<jet::JetRowCursor> openRows(const std::string& name) override;
    std::unique_ptr<jet::JetRowCursor> openFlatRows(const std::string& name) override;
    model::JetTableSchema readSchema(const std::string& name) override;
    std::vector<model::StoredQueryRows> queryCatalog() override { return front_.queryCatalog(); }

  private:
    const jet::LinkedTable* followed(const std::string& name) const;
    // The back-end file of `link`, opened once; JetError when it is not found.
    jet::JetSource& backEnd(const jet::LinkedTable& link);

    jet::JetSource& front_;
    std::string frontPath_;
    JetOpener open_;
    bool follow_;
    std::vector<jet::LinkedTable> links_;
    std::map<std::string, std::unique_ptr<jet::JetSource>> opened_;  // by path
};

// The summary's lines for the links of a run: each link, where it points,
// and whether it was followed.
std::string linksSummary(const std::vector<jet::LinkedTable>& links, bool followed);

}  // namespace malvorn::core
