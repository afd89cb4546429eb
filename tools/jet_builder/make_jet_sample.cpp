// Writes a small Jet 4 database with one SHOHIN (goods) table, for trying the
// program by hand: make-jet-sample OUT.mdb
#include <cstdint>
#include <exception>
#include <iostream>
#include <string>

#include "jet_builder/jet_builder.h"

namespace {

malvorn::testing::JetBuildTable sampleTable() {
    using malvorn::testing::JetBuildValue;
    malvorn::testing::JetBuildTable t;
    t.name = "SHOHIN";
    t.fields = {{.name = "CODE", .type = 10, .size = 10, .allowZeroLength = false},
                {.name = "NAME", .type = 10, .size = 50, .allowZeroLength = true},
                {.name = "PRICE", .type = 5, .defaultValue = "0"},
                {.name = "QTY", .type = 4},
                {.name = "UPD", .type = 8}};
    t.indexes = {{.name = "pkkey", .columns = {"CODE"}, .primary = true}};
    // Currency is scaled by 10,000; dates are day serials from 1899-12-30.
    t.rows = {
        {std::string("A001"), std::string("りんご"), std::int64_t{1200000}, std::int64_t{10},
         45292.0},
        {std::string("A002"), std::string("みかん（箱）"), std::int64_t{2980000}, std::int64_t{3},
         45293.5},
        {std::string("B100"), std::string(""), std::int64_t{0}, JetBuildValue{}, 45300.25},
        {std::string("C'01"), std::string("抹茶ラテ \"特選\""), std::int64_t{4505000},
         std::int64_t{-2}, JetBuildValue{}},
    };
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::cerr << "usage: make-jet-sample OUT.mdb\n";
        return argc == 2 ? 0 : 2;
    }
    try {
        malvorn::testing::writeJetFile(argv[1], {sampleTable()});
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}
