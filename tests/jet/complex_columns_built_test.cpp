// Multi-value fields and attachments in ACE files the builder made (and in
// the engine's own file when present): read both ways, and migrated under
// the Oracle-safe rules into child tables, the files' bytes exact.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_migration.h"
#include "jet/complex_columns.h"
#include "jet_builder/ace_complex.h"
#include "jet_builder/ace_types.h"
#include "support/command.h"
#include "support/jet_sources.h"
#include "support/temp_dir.h"

namespace malvorn::jet {
namespace {

using namespace malvorn::testing;
using Int = std::int64_t;

std::string pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

const std::vector<ace::JetBuildAttachment> kFiles = {
    {.link = 1, .name = "a.txt", .extension = "txt", .bytes = std::string("hello\0world", 11)},
    {.link = 2, .name = "b.bin", .extension = "bin", .bytes = pattern(9000), .compressed = false},
    {.link = 2, .name = "c", .extension = "", .bytes = pattern(70000)},
};

// Orders: two rows, a multi-value column Tags and an attachment column Files.
std::vector<JetBuildTable> orders() {
    const JetBuildTable parent{
        .name = "Orders",
        .fields = {{.name = "ID", .type = 4},
                   {.name = "Tags", .type = ace::kComplex},
                   {.name = "Files", .type = ace::kComplex}},
        .rows = {{Int{1}, Int{1}, Int{1}}, {Int{2}, Int{2}, Int{2}}, {Int{3}, Int{3}, Int{3}}}};
    return ace::withComplexColumns(
        {parent},
        {{.table = "Orders",
          .field = "Tags",
          .elements = {{1, std::string("red")}, {1, std::string("blue")}, {2, std::string("緑")}}},
         {.table = "Orders", .field = "Files", .attachment = true, .files = kFiles}});
}

class BuiltComplex : public ::testing::TestWithParam<Way> {
  protected:
    TempDir dir_;
};
INSTANTIATE_TEST_SUITE_P(Ways, BuiltComplex, bothWays(), wayName);

TEST_P(BuiltComplex, CatalogFlatTablesAndFilesReadBack) {
    const std::string path = dir_.path() + "/orders.accdb";
    writeJetFile(path, orders(), JetVersion::kAce12);
    const auto source = GetParam().open(path);
    EXPECT_EQ(source->userTableNames(), std::vector<std::string>{"Orders"});
    const auto columns = readComplexColumns(*source);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].field, "Tags");
    EXPECT_EQ(columns[1].field, "Files");
    for (const auto& column : columns)
        EXPECT_EQ(column.table, "Orders");

    auto files = source->openFlatRows(columns[1].flatTable);
    std::vector<std::string> bytes;
    JetRow row;
    while (files->next(row))
        bytes.push_back(std::get<JetBinary>(row.at(2)).bytes);
    ASSERT_EQ(bytes.size(), kFiles.size());
    for (std::size_t i = 0; i < kFiles.size(); ++i)
        EXPECT_EQ(bytes[i], kFiles[i].bytes) << kFiles[i].name;
    // The plain way gives the stored form, header and all.
    const auto stored = allRows(*source, columns[1].flatTable);
    EXPECT_EQ(std::get<JetBinary>(stored.at(0).at(2)).bytes, ace::attachmentFileData(kFiles[0]));
}

class MigrateComplex : public CliMigration {};

TEST_F(MigrateComplex, BuiltFileGoesOverAsParentAndChildTablesAndVerifies) {
    const std::string path = dir_.path() + "/orders.accdb";
    writeJetFile(path, orders(), JetVersion::kAce12);
    const CommandRun run = cli({"migrate", path, "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("3 表中 3 表 ok、9 行"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.find("警告"), std::string::npos) << run.err;

    EXPECT_EQ(sql("SELECT ID, TAGS, FILES FROM ORDERS ORDER BY ID"),
              "ID\tTAGS\tFILES\n1\t1\t1\n2\t2\t2\n3\t3\t3\n");
    EXPECT_EQ(sql("SELECT TAGS, VALUE FROM ORDERS_TAGS ORDER BY VALUE"),
              "TAGS\tVALUE\n1\tblue\n1\tred\n2\t緑\n");
    EXPECT_EQ(sql("SELECT FILES, FILE_NAME, FILE_TYPE, FILE_DATA FROM ORDERS_FILES "
                  "WHERE FILE_NAME = 'a.txt'"),
              "FILES\tFILE_NAME\tFILE_TYPE\tFILE_DATA\n1\ta.txt\ttxt\t68656C6C6F00776F726C64\n");
    EXPECT_EQ(sql("SELECT COUNT(*) FROM ORDERS_FILES WHERE FILES = 2"), "COUNT(*)\n2\n");

    // The parent's links are a unique key, each child's link a foreign key to it.
    EXPECT_EQ(sql("SELECT TABLE_NAME, CONSTRAINT_TYPE FROM USER_CONSTRAINTS WHERE "
                  "CONSTRAINT_TYPE IN ('U', 'R') ORDER BY TABLE_NAME, CONSTRAINT_TYPE"),
              "TABLE_NAME\tCONSTRAINT_TYPE\nORDERS\tU\nORDERS\tU\nORDERS_FILES\tR\n"
              "ORDERS_TAGS\tR\n");
    const CommandRun orphan = cli({"sql", "INSERT INTO ORDERS_TAGS VALUES (9, 'x')"});
    EXPECT_NE(orphan.err.find("ORA-02291"), std::string::npos) << orphan.err;
    const CommandRun twice = cli({"sql", "UPDATE ORDERS SET TAGS = 1 WHERE ID = 3"});
    EXPECT_NE(twice.err.find("ORA-00001"), std::string::npos) << twice.err;
}

TEST_F(MigrateComplex, EngineWrittenFileGoesOverWhole) {
    SKIP_WITHOUT_REAL_FILE("complex-v2007.accdb");
    const std::string path = realFile("complex-v2007.accdb");
    const CommandRun run = cli({"migrate", path, "--oracle-safe", "--verify"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // Table1's 4 rows, 6 multi-value elements, 3 attachments.
    EXPECT_NE(run.out.find("3 表中 3 表 ok、13 行"), std::string::npos) << run.out;
    EXPECT_EQ(sql("SELECT CONSTRAINT_TYPE, COUNT(*) FROM USER_CONSTRAINTS WHERE CONSTRAINT_TYPE "
                  "IN ('U', 'R') GROUP BY CONSTRAINT_TYPE ORDER BY CONSTRAINT_TYPE"),
              "CONSTRAINT_TYPE\tCOUNT(*)\nR\t2\nU\t2\n");
    EXPECT_EQ(sql("SELECT FILE_NAME, FILE_DATA FROM \"Table1_attach-data\" "
                  "WHERE \"attach-data\" = 4"),
              "FILE_NAME\tFILE_DATA\ntest_data2.txt\t"
              "7468697320697320736F6D65206D6F72652074657374206461746120666F72206174746163686D656E"
              "742E\n");
}

}  // namespace
}  // namespace malvorn::jet
