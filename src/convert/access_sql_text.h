#pragma once

// A saved query's Access SQL text, rebuilt from its decoded catalog rows the
// way the engine's own designer writes it.
#include <optional>
#include <string>

#include "model/stored_query.h"

namespace malvorn::convert {

// The kind as the user knows it ("選択", "ユニオン", "クロス集計"...).
std::string queryKindName(const model::StoredQuery& query);

// A name as Access SQL writes it: plain, or in brackets when it holds
// anything but letters, digits and '_' or starts with a digit.
std::string accessName(const std::string& name);

// The FROM list: the inputs, joined as the join rows say, nested as written.
std::string accessFromClause(const model::StoredQuery& query);

// The whole statement ending in ';'. nullopt for the kinds whose text is not
// rebuilt (action, data-definition and pass-through queries): the caller
// names them.
std::optional<std::string> accessSqlText(const model::StoredQuery& query);

}  // namespace malvorn::convert
