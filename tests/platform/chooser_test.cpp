#include "platform/chooser.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace malvorn::platform {
namespace {

// Named files and folders on two volumes, "/" and "/media/usb".
struct FakeFileSystem : base::FileSystem {
    bool FileExists(const std::string& path) const override { return files_.contains(path); }
    bool FolderExists(const std::string& path) const override { return folders_.contains(path); }
    std::string GetDriveName(const std::string& path) const override {
        return path.starts_with("/media/usb") ? "/media/usb" : "/";
    }
    std::set<std::string> files_{"/data/sales.mdb", "/x.mdb"};
    std::set<std::string> folders_{
        "/", "/data", "/data.old/sql", "/opt/malvorn", "/home/u/work", "/media/usb"};
};

TEST(ChooserStart, FolderAndSelectionFollowThePathRules) {
    const std::tuple<const char*, ChooserStart> cases[] = {
        {"/data/sales.mdb", {"/data/sales.mdb", "/", "/data", "sales.mdb"}},
        {"", {"/opt/malvorn", "/", "/opt/malvorn", ""}},  // shows the program's folder
        {"/x.mdb", {"/x.mdb", "/", "/", "x.mdb"}},
        // Missing: the current folder of its volume; a dot anywhere makes a file path.
        {"/data/missing.mdb", {"/data/missing.mdb", "/", "/home/u/work", ""}},
        {"/media/usb/old/x.mdb", {"/media/usb/old/x.mdb", "/media/usb", "/media/usb", ""}},
        {"/data.old/sql", {"/data.old/sql", "/", "/home/u/work", ""}},
    };
    for (const auto& [path, expected] : cases) {
        const ChooserStart s = chooserStart(path, "/opt/malvorn", "/home/u/work", FakeFileSystem{});
        EXPECT_EQ(std::tie(s.label, s.drive, s.folder, s.preselect),
                  std::tie(expected.label, expected.drive, expected.folder, expected.preselect))
            << path;
    }
}

TEST(ChooserPreselect, FirstEqualNameOnlyWithTheSameLetterCase) {
    const std::vector<std::string> entries{"SALES.mdb", "Sales.mdb", "sales.mdb", "sales.mdb"};
    EXPECT_EQ(std::tuple(preselectIndex(entries, "sales.mdb"), preselectIndex(entries, "Sales.mdb"),
                         preselectIndex(entries, "sales.MDB")),
              std::tuple(2, 1, -1));
}

// Either part of the pattern matches the whole name, without letter case.
TEST(ChooserFolders, ListingsSkipHiddenAndKeepFilesAndFoldersApart) {
    TempDir dir;
    for (const char* folder : {"b", "a", ".hidden", "dir.sql"})
        std::filesystem::create_directory(dir.path() + "/" + folder);
    for (const char* file : {"z.sql", "a.TXT", ".x.sql", "c.log", "d.sql", "d.sql.bak", "sql"})
        std::ofstream(dir.path() + "/" + file) << "x";

    EXPECT_EQ(listSubfolders(dir.path()), (std::vector<std::string>{"a", "b", "dir.sql"}));
    EXPECT_EQ(listMatchingFiles(dir.path(), "*.sql;*.txt"),
              (std::vector<std::string>{"a.TXT", "d.sql", "z.sql"}));
    EXPECT_EQ(listSubfolders(dir.path() + "/none"), std::nullopt);
}

TEST(ChooserVolumes, UserVolumesFromMountInfo) {
    const char* const text =
        "22 27 0:21 / /proc rw - proc proc rw\n25 24 0:23 / /dev/shm rw - tmpfs tmpfs rw\n"
        "27 1 254:0 / / rw shared:1 - ext4 /dev/vda rw\n42 27 8:2 / /home rw - ext4 /dev/sda2 rw\n"
        "41 40 0:41 / /run/user/1000 rw - tmpfs tmpfs rw\n43 27 0:43 / /tmp rw - tmpfs tmpfs rw\n"
        "48 27 8:2 / /home rw - ext4 /dev/sda2 rw\n46 27 7:1 / /snap/c ro - squashfs /dev/loop1 "
        "ro\n"
        "44 40 8:17 / /run/media/u/USB\\040STICK rw shared:9 master:3 - vfat /dev/sdb1 "
        "rw\nbroken\n";
    EXPECT_EQ(userVolumes(parseMountInfo(text)),
              (std::vector<std::string>{"/", "/home", "/run/media/u/USB STICK", "/tmp"}));
}

}  // namespace
}  // namespace malvorn::platform
