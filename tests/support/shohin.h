#pragma once

#include <string>

#include "convert/table_script.h"

// The SHOHIN table of the worked example: a text key, a text that may be
// empty, an amount defaulting to 0, a number and a date, keyed by "pkkey".
inline malvorn::model::JetTableDef shohinTable() {
    using namespace malvorn::model;
    JetTableDef table;
    table.name = "SHOHIN";
    table.fields = {
        {"CODE", kJetText, 10, false, ""},      {"NAME", kJetText, 50, true, ""},
        {"PRICE", kJetCurrency, 0, false, "0"}, {"QTY", kJetLong, 0, false, ""},
        {"UPD", kJetDate, 0, false, ""},
    };
    table.firstIndex = JetIndexDef{"pkkey", {"CODE"}};
    return table;
}

// The statement the conversion run sends to create it.
inline std::string shohinStatement() {
    return malvorn::convert::fMakeTableSQL(shohinTable(), {"indx", "users", false}, {2001, 2, 3})
        .statementForm();
}
