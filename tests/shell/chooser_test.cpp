#include "shell/chooser.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace malvorn::shell {
namespace {

// Named files and folders on two volumes, "/" and "/media/usb".
class FakeFileSystem : public FileSystem {
  public:
    bool FileExists(const std::string& path) const override { return files_.contains(path); }
    bool FolderExists(const std::string& path) const override { return folders_.contains(path); }
    std::string GetDriveName(const std::string& path) const override {
        return !path.starts_with('/') ? "" : path.starts_with("/media/usb") ? "/media/usb" : "/";
    }

  private:
    std::set<std::string> files_{"/data/sales.mdb", "/x.mdb", "/media/usb/a.mdb"};
    std::set<std::string> folders_{"/",        "/data",        "/data.old",    "/data.old/sql",
                                   "/sql/out", "/opt/malvorn", "/home/u/work", "/media/usb"};
};

TEST(ChooserStart, FolderAndSelectionFollowThePathRules) {
    const std::tuple<const char*, ChooserStart> cases[] = {
        {"/data/sales.mdb", {"/data/sales.mdb", "/", "/data", "sales.mdb"}},
        // An empty path opens the program's folder and shows it.
        {"", {"/opt/malvorn", "/", "/opt/malvorn", ""}},
        {"/x.mdb", {"/x.mdb", "/", "/", "x.mdb"}},
        {"/", {"/", "/", "/", ""}},
        {"/sql/out/", {"/sql/out/", "/", "/sql/out", ""}},
        // A missing file or folder: the current folder of its volume.
        {"/data/missing.mdb", {"/data/missing.mdb", "/", "/home/u/work", ""}},
        {"/sql/gone", {"/sql/gone", "/", "/home/u/work", ""}},
        {"/media/usb/old/x.mdb", {"/media/usb/old/x.mdb", "/media/usb", "/media/usb", ""}},
        {"/media/usb/a.mdb", {"/media/usb/a.mdb", "/media/usb", "/media/usb", "a.mdb"}},
        // A dot anywhere makes it a file path, and no such file exists.
        {"/data.old/sql", {"/data.old/sql", "/", "/home/u/work", ""}},
        // No volume to select: the working folder.
        {"data/x.mdb", {"data/x.mdb", "/", "/home/u/work", ""}},
    };
    const FakeFileSystem fso;
    for (const auto& [path, expected] : cases) {
        const ChooserStart s = chooserStart(path, "/opt/malvorn", "/home/u/work", fso);
        const ChooserStart& e = expected;
        EXPECT_EQ(std::tie(s.label, s.drive, s.folder, s.preselect),
                  std::tie(e.label, e.drive, e.folder, e.preselect))
            << path;
    }
}

TEST(ChooserPattern, EitherPartMatchesWithoutLetterCase) {
    const std::tuple<const char*, std::vector<std::string>, std::vector<std::string>> cases[] = {
        {"*.mdb", {"sales.mdb", "SALES.MDB"}, {"sales.sdb", "sales.mdb.bak", "mdb"}},
        {"*.sql;*.txt", {"a.sql", "a.txt", "a.sql.txt"}, {"a.log"}},
        {"a.?.c", {"a.b.c"}, {"a.bb.c"}},
    };
    for (const auto& [pattern, matching, other] : cases) {
        for (const auto& name : matching)
            EXPECT_TRUE(matchesPattern(name, pattern)) << name << " " << pattern;
        for (const auto& name : other)
            EXPECT_FALSE(matchesPattern(name, pattern)) << name << " " << pattern;
    }
}

TEST(ChooserPreselect, FirstEqualNameOnlyWithTheSameLetterCase) {
    const std::vector<std::string> entries{"SALES.mdb", "Sales.mdb", "sales.mdb", "sales.mdb"};
    EXPECT_EQ(std::tuple(preselectIndex(entries, "sales.mdb"), preselectIndex(entries, "Sales.mdb"),
                         preselectIndex(entries, "sales.MDB")),
              std::tuple(2, 1, -1));
}

TEST(ChooserFolders, ListingsSkipHiddenAndKeepFilesAndFoldersApart) {
    TempDir dir;
    namespace fs = std::filesystem;
    for (const char* folder : {"b", "a", ".hidden", "dir.sql"})
        fs::create_directory(fs::path(dir.path()) / folder);
    for (const char* file : {"z.sql", "a.TXT", ".x.sql", "c.log", "d.sql"})
        std::ofstream(fs::path(dir.path()) / file) << "x";

    EXPECT_EQ(listSubfolders(dir.path()), (std::vector<std::string>{"a", "b", "dir.sql"}));
    EXPECT_EQ(listMatchingFiles(dir.path(), "*.sql;*.txt"),
              (std::vector<std::string>{"a.TXT", "d.sql", "z.sql"}));
    EXPECT_EQ(listSubfolders(dir.path() + "/none"), std::nullopt);
    EXPECT_TRUE(listMatchingFiles(dir.path() + "/none", "*.sql").empty());
}

TEST(ChooserVolumes, UserVolumesFromMountInfo) {
    const char* const text =
        "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
        "25 24 0:23 / /dev/shm rw,relatime - tmpfs tmpfs rw\n"
        "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
        "31 23 0:28 / /sys/fs/cgroup rw,relatime - tmpfs tmpfs rw,mode=755\n"
        "40 27 0:40 / /run rw,nosuid shared:5 - tmpfs tmpfs rw\n"
        "41 40 0:41 / /run/user/1000 rw shared:6 - tmpfs tmpfs rw\n"
        "42 27 8:2 / /home rw,relatime shared:7 - ext4 /dev/sda2 rw\n"
        "43 27 0:43 / /tmp rw shared:8 - tmpfs tmpfs rw\n"
        "44 40 8:17 / /run/media/u/USB\\040STICK rw shared:9 master:3 - vfat /dev/sdb1 rw\n"
        "45 27 8:33 / /media/u/CARD rw - exfat /dev/sdc1 rw\n"
        "46 27 7:1 / /snap/core/1 ro - squashfs /dev/loop1 ro\n"
        "48 27 8:2 / /home rw,relatime - ext4 /dev/sda2 rw\n"
        "49 27 0:49 / /mnt/dev rw - devpts devpts rw\n"
        "a broken line\n";
    EXPECT_EQ(userVolumes(parseMountInfo(text)),
              (std::vector<std::string>{"/", "/home", "/media/u/CARD", "/run/media/u/USB STICK",
                                        "/tmp"}));
}

}  // namespace
}  // namespace malvorn::shell
