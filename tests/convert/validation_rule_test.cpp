// Jet validation rules as CHECK conditions: each form that translates, and
// the ones that must be left out rather than guessed.
#include <gtest/gtest.h>

#include "convert/validation_rule.h"

namespace malvorn::convert {
namespace {

std::optional<std::string> knownFields(const std::string& name) {
    if (name == "Qty" || name == "Start" || name == "End" || name == "Order Date")
        return name == "Order Date" ? "\"Order Date\"" : name;
    return std::nullopt;
}

TEST(ValidationRule, TheFormsThatTranslate) {
    struct Case {
        const char* rule;
        const char* field;  // empty for a table's rule
        const char* condition;
    };
    const Case cases[] = {
        {.rule = ">0", .field = "Qty", .condition = "Qty > 0"},
        {.rule = ">=0 And <100", .field = "Qty", .condition = "Qty >= 0 AND Qty < 100"},
        {.rule = "Between 1 And 10", .field = "Qty", .condition = "Qty BETWEEN 1 AND 10"},
        {.rule = "In (\"a\",'b''c')", .field = "Qty", .condition = "Qty IN ('a', 'b''c')"},
        {.rule = "Not In (1, 2)", .field = "Qty", .condition = "Qty NOT IN (1, 2)"},
        {.rule = "Like \"A*?\"", .field = "Qty", .condition = "Qty LIKE 'A%_'"},
        {.rule = "Is Not Null", .field = "Qty", .condition = "Qty IS NOT NULL"},
        {.rule = "<>0 Or Is Null", .field = "Qty", .condition = "Qty <> 0 OR Qty IS NULL"},
        {.rule = ">=#1/31/2000#",
         .field = "Start",
         .condition = "Start >= TO_DATE('2000-01-31 00:00:00','YYYY-MM-DD HH24:MI:SS')"},
        {.rule = "<#2001-02-03 04:05#",
         .field = "Start",
         .condition = "Start < TO_DATE('2001-02-03 04:05:00','YYYY-MM-DD HH24:MI:SS')"},
        {.rule = "[Start]<=[End]", .field = "", .condition = "Start <= End"},
        {.rule = "([Qty]>0) Or Not ([Order Date] Is Null)",
         .field = "",
         .condition = "(Qty > 0) OR NOT ((\"Order Date\" IS NULL))"},
        {.rule = "[Qty]*2 - 1 > -3", .field = "", .condition = "Qty * 2 - 1 > -3"},
        {.rule = "<>True", .field = "Qty", .condition = "Qty <> -1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(translateValidationRule(c.rule, c.field, knownFields),
                  std::optional<std::string>(c.condition));
    }
}

TEST(ValidationRule, WhatDoesNotTranslateIsLeftOut) {
    struct Case {
        const char* rule;
        const char* field;
    };
    const Case cases[] = {
        {.rule = "Len([Qty])<9", .field = ""},        // a function
        {.rule = "Like \"[A-C]*\"", .field = "Qty"},  // a character class
        {.rule = "Like \"50%\"", .field = "Qty"},     // Oracle's own wildcard in the text
        {.rule = "[Nope]>1", .field = ""},            // no such field
        {.rule = ">0", .field = ""},                  // a table's rule needs its fields
        {.rule = ">#13/45/2000#", .field = "Start"},  // no such date
        {.rule = ">\"open", .field = "Qty"},          // an unclosed text
        {.rule = "Qty > 0 Qty", .field = ""},         // words left over
        {.rule = "", .field = "Qty"},
        {.rule = ">0;", .field = "Qty"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rule);
        EXPECT_EQ(translateValidationRule(c.rule, c.field, knownFields), std::nullopt);
    }
}

}  // namespace
}  // namespace malvorn::convert
