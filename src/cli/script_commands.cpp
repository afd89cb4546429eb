// Commands that write the fixed scripts and the batch script of a storage
// folder.
#include <cstdio>

#include "base/files.h"
#include "cli/command.h"
#include "cli/console.h"
#include "cli/options.h"
#include "cli/passwords.h"
#include "convert/script_files.h"
#include "core/table_commands.h"

namespace malvorn::cli {
namespace {

const std::string& folderArgument(const Arguments& args) {
    if (args.positional.size() != 1)
        throw UsageError("SQL の格納先フォルダを1つ指定してください");
    return args.positional[0];
}

int runFixedScripts(const Arguments& args) {
    const std::string& folder = folderArgument(args);
    if (!base::folderExists(folder))
        throw UsageError("SQL の格納先フォルダがありません: " + folder);
    const int written =
        convert::writeFixedScriptsIfMissing(folder, connectionFrom(args), convert::localToday());
    std::printf("%d 個のファイルを作成しました\n", written);
    return 0;
}

// The window's SQLバッチ作成, with its checks worded for the command line.
int runBatch(const Arguments& args) {
    const core::BatchFields fields{folderArgument(args), "", connectionFrom(args)};
    ConsoleMessages messages;
    ConsoleFront front;
    core::Services services = consoleServices(messages, front);
    return exitStatus(core::createBatch(fields, services));
}

const CommandRegistration fixedScripts({"fixed-scripts",
                                        "fixed-scripts <格納先> --user U\n"
                                        "    LFIDNO.sql と CreateAdmin.sql を作成します"
                                        " (既存のファイルはそのまま)",
                                        runFixedScripts, connectionOptions()});
const CommandRegistration batch({"batch",
                                 "batch <格納先> --user U --service S\n"
                                 "    格納先の *.sql を実行する CreateTables.sql を作成します",
                                 runBatch, connectionOptions()});

}  // namespace
}  // namespace malvorn::cli
