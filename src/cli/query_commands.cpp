// The saved queries of a Jet database, as Access SQL.
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>

#include "cli/command.h"
#include "core/stored_queries.h"
#include "jet/jet_reader_client.h"

namespace malvorn::cli {
namespace {

int runQueries(const Arguments& args) {
    if (args.positional.empty() || args.positional.size() > 2)
        throw UsageError("データベースファイルと、必要ならクエリ名を指定してください");
    const auto source = jet::openJetSource(args.positional[0]);
    const std::optional<std::string> name =
        args.positional.size() == 2 ? std::optional(args.positional[1]) : std::nullopt;
    const core::QueryListing listing = core::listStoredQueries(*source, name);
    if (!listing.found) {
        std::fprintf(stderr, "malvorn-cli: クエリ %s がありません: %s\n", name->c_str(),
                     args.positional[0].c_str());
        return 1;
    }
    if (std::fwrite(listing.text.data(), 1, listing.text.size(), stdout) != listing.text.size() ||
        std::fflush(stdout) != 0)
        throw std::runtime_error("標準出力に書けません");
    for (const auto& problem : listing.problems)
        std::fprintf(stderr, "malvorn-cli: %s\n", problem.c_str());
    // One query asked for and its text not shown: nothing of what was asked came out.
    return name && listing.text.empty() ? 1 : 0;
}

const CommandRegistration queries(
    {"queries",
     "queries <データベース> [<クエリ>]\n"
     "    保存されたクエリの Access SQL を出力します (クエリ名を指定するとその文だけ)。\n"
     "    文を組み立てない種類 (アクション、データ定義、パススルー) は名前と種類を示します",
     runQueries});

}  // namespace
}  // namespace malvorn::cli
