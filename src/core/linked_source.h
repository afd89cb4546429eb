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

// What a run did with one link.
enum class LinkStatus {
    kFollowed,        // its table is read from the back end, under the link's name
    kNotFollowed,     // named only (--follow-links not given)
    kBackEndMissing,  // followed, but its file is neither at its path nor beside the front end
    kOdbc,            // a server's table: never followed
};

// "followed", "not followed", "back end not found", "odbc": the report's words.
const char* linkStatusName(LinkStatus status);

struct LinkOutcome {
    jet::LinkedTable link;
    LinkStatus status = LinkStatus::kNotFollowed;
    std::string backEnd = {};  // the file read, when followed and found
};

class LinkedSource : public jet::JetSource {
  public:
    LinkedSource(jet::JetSource& front, std::string frontPath, JetOpener open, bool follow);

    const std::vector<jet::LinkedTable>& links() const { return links_; }
    bool following() const { return follow_; }
    // Each link with what this source does with it; the tables it follows
    // are those userTableNames() adds.
    std::vector<LinkOutcome> outcomes() const;

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
// and what was done with it.
std::string linksSummary(const std::vector<LinkOutcome>& links);

// The links as a JSON array: [{"link", "database" or "connect", "foreignName",
// "status" (linkStatusName), "backEnd" when one was read}].
std::string linksJson(const std::vector<LinkOutcome>& links);

// The links as an HTML section; empty without links.
std::string linksHtml(const std::vector<LinkOutcome>& links);

}  // namespace malvorn::core
