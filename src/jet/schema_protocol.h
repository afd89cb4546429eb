#pragma once

// The payload of the reader's reply to kReadSchema: a table's indexes,
// relationships and field properties (see model/jet_schema.h).
#include <string>

#include "model/jet_schema.h"

namespace malvorn::jet::protocol {

std::string encodeTableSchema(const model::JetTableSchema& schema);
// Throws ProtocolError for a payload that does not decode whole.
model::JetTableSchema decodeTableSchema(const std::string& payload);

}  // namespace malvorn::jet::protocol
