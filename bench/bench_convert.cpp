// Figures for the generator and the encoding layer: scripts per second for a
// typical and a wide table, and CP932 conversion throughput.
#include <benchmark/benchmark.h>

#include "convert/table_script.h"
#include "encoding/cp932.h"

namespace {

using namespace malvorn::convert;
using namespace malvorn::model;

JetTableDef wideTable(int fieldCount) {
    JetTableDef table;
    table.name = "受注明細";
    for (int i = 0; i < fieldCount; ++i) {
        JetFieldDef field;
        field.name = "項目" + std::to_string(i);
        field.typeCode = i % 3 == 0 ? kJetText : (i % 3 == 1 ? kJetLong : kJetDate);
        field.size = 50;
        field.defaultValue = i % 3 == 1 ? "0" : "";
        table.fields.push_back(field);
    }
    table.firstIndex = JetIndexDef{"PrimaryKey", {"項目0", "項目1"}};
    return table;
}

void BM_GenerateTable(benchmark::State& state) {
    const JetTableDef table = wideTable(static_cast<int>(state.range(0)));
    const TableScriptOptions options{"indx", "users", false};
    for (auto _ : state) {
        ScriptLines script = fMakeTableSQL(table, options, {2026, 12, 6});
        benchmark::DoNotOptimize(script.fileForm());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GenerateTable)->Arg(10)->Arg(255);

void BM_Cp932RoundTrip(benchmark::State& state) {
    std::string text;
    while (text.size() < 64 * 1024)
        text += "商品コード ｼｮｳﾋﾝ ABC-123 ～①髙 ";
    for (auto _ : state) {
        const std::string bytes = malvorn::encoding::Cp932::fromUtf8(text);
        benchmark::DoNotOptimize(malvorn::encoding::Cp932::toUtf8(bytes));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_Cp932RoundTrip);

}  // namespace

BENCHMARK_MAIN();
