#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "base/file_system.h"
#include "base/messages.h"
#include "convert/script_text.h"
#include "jet/jet_source.h"
#include "model/connection.h"
#include "oracle/session.h"

namespace malvorn::core {

// The input fields a command can send the focus back to after a failed check.
enum class Field {
    kNone,
    kDbPath,
    kTable,
    kTablespace,
    kIndex,
    kSqlFolder,
    kUserId,
    kPassword,
    kScriptPath,
    kSql,
};

// What an input check refuses. The window shows each check's own message;
// a front with words of its own (the command line) words it from this and
// the value checked.
enum class Rule {
    kUnnamed,
    kDbPathBlank,
    kDbPathExtension,
    kDbPathMissing,
    kTableBlank,
    kOwnerIsSystem,
    kConnectionNotSystem,
    kTablespaceBlank,
    kIndexTablespaceBlank,
    kSqlFolderBlank,
    kSqlFolderMissing,
    kSqlFolderWithoutScripts,
    kScriptMissing,
    kSqlBlank,
};

struct Check;

// How a command ended: every step done, refused by a check of its fields
// before anything was done, failed on the way (and reported), or stopped on
// request between two rows or batches (only the command line asks).
enum class Outcome { kDone, kRefused, kFailed, kInterrupted };

// The pointer while a command works: the hourglass, and for the commands that
// ask for it, no input to the window either.
enum class Busy { kIdle, kHourglass, kHourglassBlocked };

// What a command asks of the front that started it: the window, the command
// line or a test. Everything has a do-nothing default.
class Front {
  public:
    virtual ~Front() = default;
    virtual void focus(Field) {}
    // The status line; `repaintNow` for progress shown while the command runs.
    virtual void setStatus(const std::string& /*text*/, bool /*repaintNow*/ = false) {}
    // Saves the window's text boxes to the settings file.
    virtual void saveSettings() {}
    virtual void setBusy(Busy) {}
    // The text a failed check shows; by default the check's own message.
    virtual std::string refusalText(const Check& check);
};

using SessionOpener =
    std::function<std::unique_ptr<oracle::Session>(const model::ConnectionFields&)>;
using JetOpener = std::function<std::unique_ptr<jet::JetSource>(const std::string& path)>;

// Sessions through the routing of net service names to these drivers.
SessionOpener sessionOpener(oracle::Drivers drivers);

// Everything a command works with besides its fields.
struct Services {
    base::MessageService& messages;
    Front& front;
    SessionOpener openSession;
    JetOpener openJet;
    const base::FileSystem& files;
    std::function<convert::ScriptDate()> today;
};

// The busy state of one command: set on construction, back to idle when the
// command ends, however it ends.
class BusyScope {
  public:
    BusyScope(Front& front, Busy busy) : front_(front) { front_.setBusy(busy); }
    ~BusyScope() { front_.setBusy(Busy::kIdle); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    Front& front_;
};

// Text without spaces at either end is empty: the commands' "blank".
bool isBlank(const std::string& text);

// One input check: when it fails, its message is shown and the focus moves.
struct Check {
    bool fails;
    const char* message;
    base::MessageIcon icon;
    Field focus;
    Rule rule = Rule::kUnnamed;
    std::string subject = {};  // the value checked: a path, a name, a user
};

// Runs the checks in order; the first that fails shows its message (title
// `title`, OK button), moves the focus and makes this return false.
bool passChecks(std::initializer_list<Check> checks, base::TitleForm title, Services& services);

// Numbers of the error report for failures that are not the server's.
inline constexpr std::int32_t kJetErrorNumber = 3100;  // + the kind of Jet failure
inline constexpr std::int32_t kFileErrorNumber = 3200;
inline constexpr std::int32_t kOtherErrorNumber = 3900;

// The error report's fields for any failure a command meets: the server's
// own, a Jet file's, a file's, any other exception's.
oracle::OracleError reportedError(const std::exception_ptr& failure);

// Shows the error report (five lines) of the failure being handled.
void showFailure(Services& services, const std::string& heading, const std::string& procedure,
                 const std::exception_ptr& failure);

}  // namespace malvorn::core
