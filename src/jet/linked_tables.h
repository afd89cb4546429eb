#pragma once

// Links of a front-end file to tables of other files, as split applications
// hold them: catalog entries (MSysObjects) without pages of their own, of
// type 6 for a table of a Jet file (Database holds the file's path) or 4 for
// an ODBC table (Connect holds the connection), ForeignName the table's name
// there.
#include <optional>
#include <string>
#include <vector>

#include "jet/jet_source.h"

namespace malvorn::jet {

struct LinkedTable {
    std::string name = {};         // the link's name in this file
    std::string foreignName = {};  // the table's name in the other file
    std::string database = {};     // a Jet file's path as stored; empty for ODBC
    std::string connect = {};      // the connection text as stored
    bool odbc = false;

    bool operator==(const LinkedTable&) const = default;
};

// The file's links the user sees (the catalog's system entries left out),
// sorted by name without regard to case. Reads MSysObjects through
// `source`; a link entry the catalog cannot describe is damage (JetError).
std::vector<LinkedTable> readLinkedTables(JetSource& source);

// Where a Jet link's file is: its stored path when a file is there, else a
// file of the same name beside `frontEnd` (the stored path may be another
// machine's, "C:\data\back.mdb"); nullopt when neither is there, or for ODBC.
std::optional<std::string> findBackEnd(const LinkedTable& link, const std::string& frontEnd);

// One line for a listing: the link's name, then where it points.
std::string describeLink(const LinkedTable& link);

}  // namespace malvorn::jet
