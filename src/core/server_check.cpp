#include "core/server_check.h"

#include <cstdlib>

namespace malvorn::core {
namespace {

std::string parameter(oracle::Session& session, const char* name) {
    try {
        const auto rows = session.query(
            std::string("SELECT VALUE FROM NLS_DATABASE_PARAMETERS WHERE PARAMETER = '") + name +
            "'");
        return rows->next() ? rows->value(0).value_or("") : std::string();
    } catch (...) {
        return std::string();  // a server without the view says nothing
    }
}

// The leading "major.minor" of a release text; nullopt when it has none.
std::optional<std::pair<int, int>> majorMinor(const std::string& release) {
    char* end = nullptr;
    const long major = std::strtol(release.c_str(), &end, 10);
    if (end == release.c_str() || *end != '.')
        return std::nullopt;
    const char* minorText = end + 1;
    const long minor = std::strtol(minorText, &end, 10);
    if (end == minorText)
        return std::nullopt;
    return std::pair<int, int>(static_cast<int>(major), static_cast<int>(minor));
}

bool unicode(const std::string& characterSet) {
    return characterSet == "AL32UTF8" || characterSet == "UTF8" || characterSet == "AL16UTF16";
}

}  // namespace

TargetServer readTargetServer(oracle::Session& session) {
    return {parameter(session, "NLS_RDBMS_VERSION"), parameter(session, "NLS_CHARACTERSET")};
}

std::optional<std::string> releaseProblem(const TargetServer& server, bool oracleSafe) {
    const auto release = majorMinor(server.release);
    if (!oracleSafe || !release || *release >= std::pair<int, int>(12, 2))
        return std::nullopt;
    return "サーバーは Oracle " + server.release +
           " です。--oracle-safe の識別列 (オートナンバー) と 128 バイトまでの名前には "
           "12.2 以降が要ります";
}

std::vector<std::string> serverNotes(const TargetServer& server) {
    std::vector<std::string> notes;
    if (server.release.empty())
        notes.emplace_back("サーバーの版を読めません (NLS_DATABASE_PARAMETERS)");
    if (server.characterSet.empty())
        notes.emplace_back("サーバーの文字セットを読めません (NLS_DATABASE_PARAMETERS)");
    else if (!unicode(server.characterSet))
        notes.push_back("サーバーの文字セット " + server.characterSet +
                        " にない文字は保てません (--verify で確かめてください)");
    return notes;
}

bool serverAccepted(oracle::Session& session, const MigrateFields& fields, Services& services,
                    MigrateReport& report) {
    const TargetServer server = readTargetServer(session);
    report.serverRelease = server.release;
    report.serverCharacterSet = server.characterSet;
    report.notes = serverNotes(server);
    const auto problem = releaseProblem(server, fields.oracleSafe);
    if (problem)
        services.messages.show(*problem, base::MessageIcon::kExclamation, base::MessageButtons::kOk,
                               base::TitleForm::kError);
    return !problem;
}

}  // namespace malvorn::core
