#pragma once

#include <string>

#include "base/messages.h"
#include "oracle/session.h"

namespace malvorn::oracle {

// The existence count for a table of the connected user. The name goes in as
// given (no case change, no trimming) as a quoted literal.
std::string existingTableQuery(const std::string& table);

// Looks for a table named `table` owned by the connected user and, when there
// is one, asks (Yes/No) whether to drop it; drops it on Yes. Errors of the
// query or the DROP TABLE pass to the caller.
void fDropIfExists(Session& session, const std::string& table, base::MessageService& messages);

}  // namespace malvorn::oracle
