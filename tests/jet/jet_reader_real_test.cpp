// The reader against files the engine itself wrote, for what only they show. The files
// are not part of the project: the tests skip when they are absent.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/jet_sources.h"

namespace malvorn::jet {
namespace {

class RealFiles : public ::testing::TestWithParam<Way> {};

INSTANTIATE_TEST_SUITE_P(Ways, RealFiles, bothWays(), wayName);

TEST_P(RealFiles, FactsOnlyAnEngineWrittenFileShows) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    const std::tuple<const char*, const char*, std::size_t, std::size_t, const char*> cases[] = {
        // Jet 3 text in the file's code page, 1252.
        {"nwind.mdb", "Orders", 0, 9, "Carrera 52 con Ave. Bolívar #65-98 Llano Largo"},
        {"nwind.mdb", "Umsätze", 0, 0, nullptr},
        // Jet 4 text the engine compressed, outside any single code page.
        {"unicode-v2003.mdb", "Table", 2, 1, "Мир"},
        {"unicode-v2003.mdb", "Table", 4, 1, "漢字仮名交じり文"},
    };
    for (const auto& [file, table, row, column, text] : cases) {
        SCOPED_TRACE(std::string(file) + " " + table);
        const auto source = GetParam().open(realFile(file));
        const auto names = source->tableNames();
        EXPECT_NE(std::find(names.begin(), names.end(), table), names.end());
        if (text) {
            const auto rows = allRows(*source, table);
            ASSERT_GT(rows.size(), row);
            EXPECT_EQ(rows[row].at(column), JetValue(std::string(text)));
        }
    }

    // Stored column numbers from 1, positions from 0: keys go by position.
    const auto indexed = GetParam().open(realFile("index-v2000.mdb"))->readTable("Table1");
    ASSERT_TRUE(indexed.firstIndex.has_value());
    EXPECT_EQ(std::tie(indexed.firstIndex->name, indexed.firstIndex->fieldNames),
              std::tuple("id", std::vector<std::string>{"id"}));

    const auto types = GetParam().open(realFile("types-v2000.mdb"));
    const auto wide = types->readTable("Table2");
    ASSERT_EQ(wide.fields.size(), 89u);
    EXPECT_EQ(std::tie(wide.fields[88].typeCode, wide.fields[88].allowZeroLength),
              std::tuple(model::kJetText, true));
    const auto guids = types->readTable("Table4");
    const auto data = std::find_if(guids.fields.begin(), guids.fields.end(),
                                   [](const auto& f) { return f.name == "data"; });
    ASSERT_NE(data, guids.fields.end());
    EXPECT_EQ(data->typeCode, kJetGuidType);
}

// Whatever the reader now refuses or warns about, no engine-written file
// trips: every definition reads, every user table gives the rows it records
// (the engine's own MSysACEs in types-v2000.mdb gives 64 of 61).
TEST_P(RealFiles, EveryTableReadsWholeWithTheRowsItRecords) {
    SKIP_WITHOUT_REAL_FILE("nwind.mdb");
    for (const char* file :
         {"nwind.mdb", "index-v2000.mdb", "types-v2000.mdb", "unicode-v2003.mdb"}) {
        const auto source = GetParam().open(realFile(file));
        for (const auto& name : source->tableNames()) {
            SCOPED_TRACE(std::string(file) + " " + name);
            EXPECT_NO_THROW(source->readTable(name));
            if (name.starts_with("MSys"))
                continue;
            auto rows = source->openRows(name);
            for (JetRow row; rows->next(row);) {
            }
            EXPECT_FALSE(rowCountDiffers(*rows))
                << rows->deliveredRowCount() << " of " << rows->recordedRowCount();
        }
    }
}

}  // namespace
}  // namespace malvorn::jet
