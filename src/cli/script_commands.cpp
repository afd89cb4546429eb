// Commands that write the fixed scripts and the batch script of a storage
// folder.
#include <cstdio>

#include "cli/command.h"
#include "convert/script_files.h"
#include "shell/files.h"

namespace malvorn::cli {
namespace {

model::ConnectionFields connectionFrom(const Arguments& args) {
    return {args.option("user"), args.option("password"), args.option("service")};
}

const std::string& folderArgument(const Arguments& args) {
    if (args.positional.size() != 1)
        throw UsageError("格納先ディレクトリを入力してください");
    return args.positional[0];
}

int runFixedScripts(const Arguments& args) {
    const std::string& folder = folderArgument(args);
    if (!shell::folderExists(folder))
        throw convert::InputError("格納先ディレクトリが存在しません");
    const int written =
        convert::writeFixedScriptsIfMissing(folder, connectionFrom(args), convert::localToday());
    std::printf("%d 個のファイルを作成しました\n", written);
    return 0;
}

int runBatch(const Arguments& args) {
    const std::string path = convert::writeBatchScript(folderArgument(args), connectionFrom(args),
                                                       convert::localToday());
    std::printf("%s\nＳＱＬバッチ作成 完了\n", path.c_str());
    return 0;
}

const CommandRegistration fixedScripts({"fixed-scripts",
                                        "fixed-scripts <格納先> --user U --password P\n"
                                        "    LFIDNO.sql と CreateAdmin.sql を作成します"
                                        " (既存のファイルはそのまま)",
                                        runFixedScripts});
const CommandRegistration batch({"batch",
                                 "batch <格納先> --user U --password P --service S\n"
                                 "    格納先の *.sql を実行する CreateTables.sql を作成します",
                                 runBatch});

}  // namespace
}  // namespace malvorn::cli
