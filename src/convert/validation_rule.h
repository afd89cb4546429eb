#pragma once

// Jet validation rules as Oracle CHECK conditions. What translates:
// comparisons, Between … And …, [Not] In (…), [Not] Like with * and ?,
// Is [Not] Null, And/Or/Not, parentheses, numbers, texts, True/False,
// #date# literals, + - * / and field references ([Name] or a bare name).
// A field's rule may leave out the field, as Jet allows (">0 And <100").
// Anything else (functions, Like with [ ] or #, a name that is not a field)
// does not translate.
#include <functional>
#include <optional>
#include <string>

namespace malvorn::convert {

// The Oracle form of a field name the rule refers to; nullopt when the
// table has no such field.
using FieldNamer = std::function<std::optional<std::string>(const std::string& jetName)>;

// The CHECK condition for `rule`. `field` is the Jet name of the field the
// rule belongs to, empty for a table's rule. nullopt when it does not
// translate.
std::optional<std::string> translateValidationRule(const std::string& rule,
                                                   const std::string& field,
                                                   const FieldNamer& names);

}  // namespace malvorn::convert
