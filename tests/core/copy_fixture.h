// What the copy tests share: the Jet table T1 with a field of every kind,
// numbered rows, and a copy run with its events recorded.
#pragma once

#include <algorithm>

#include "base/file_system.h"
#include "core/copy_command.h"
#include "jet/mdb_database.h"
#include "jet_builder/jet_builder.h"
#include "localserver/server_fixture.h"
#include "support/recorder.h"

namespace malvorn::core {

using Row = std::vector<testing::JetBuildValue>;
using Strings = std::vector<std::string>;
using V = std::monostate;

// Ten full-width characters: the declared length, counted in characters.
inline const std::string kTen = "ｱ日本語のテキスト十";

// The server's T1 on the local server; its key's name is in the reports.
inline const std::string kLocalT1 =
    "CREATE TABLE T1 (CODE VARCHAR2(10), NAME VARCHAR2(10 CHAR), PRICE NUMBER(19,4), "
    "QTY NUMBER(10), RATIO FLOAT, UPD DATE, NOTE CLOB, OK NUMBER(1), PIC BLOB, "
    "CONSTRAINT pkT1 PRIMARY KEY(CODE))";

inline Row numbered(int i, double date = 36925.0) {
    const std::int64_t n = i;
    return {"C" + std::to_string(i), "n", n * 10000, n, 0.5, date, "m", true, V{}};
}

class CopyFixture : public localserver::ServerTest {
  protected:
    // Copies `rows`, stored as the Jet file's T1 at jetPath(), as `fields` asks.
    Outcome copy(const std::vector<Row>& rows, const CopyFields& fields) {
        testing::JetBuildTable t{"T1", {{"CODE", 10, 10}, {"ＮＡＭＥ", 10, 10, true}}, {}, rows};
        for (const auto& [name, type] : {std::pair{"PRICE", 5},
                                         {"QTY", 4},
                                         {"RATIO", 7},
                                         {"UPD", 8},
                                         {"NOTE", 12},
                                         {"OK", 1},
                                         {"PIC", 11}})
            t.fields.push_back({name, type, 50, type == 12});
        testing::writeJetFile(jetPath(), {t});
        recorder_ = Recorder();
        Services services{recorder_, recorder_, openSession_, openJet_, base::gFso(), {}};
        return copyTable(fields, services);
    }
    std::string jetPath() const { return dir_.path() + "/copy.mdb"; }
    std::string box() const { return find("box "); }
    std::string lastStatus() const { return find("status "); }
    // The keys a table holds, in order, by a space.
    static std::string codes(oracle::Session& session, const std::string& table) {
        std::string joined;
        for (const auto& code : rows(session, "SELECT CODE FROM " + table + " ORDER BY 1"))
            joined += (joined.empty() ? "" : " ") + code;
        return joined;
    }

    SessionOpener openSession_;
    JetOpener openJet_ = jet::openJetFileHere;
    Recorder recorder_;

  private:
    std::string find(const std::string& kind) const {  // the last event of that kind
        const auto& e = recorder_.events;
        const auto it =
            std::find_if(e.rbegin(), e.rend(), [&](const auto& x) { return x.starts_with(kind); });
        return it == e.rend() ? "" : *it;
    }
};

}  // namespace malvorn::core
