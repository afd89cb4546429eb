#include "platform/settings_file.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "base/files.h"
#include "encoding/cp932.h"
#include "platform/chooser.h"
#include "platform/instance_lock.h"
#include "platform/work_area.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace malvorn::platform {
namespace {

using encoding::Cp932;

TEST(SettingValue, RoundTripsAndWritesPlainValuesUnchanged) {
    const std::vector<std::string> plain{"", "ユーザー名　", "C:\\data\\sales.mdb"};
    const std::vector<std::string> escaped{"SELECT *\r\nFROM t WHERE a = '\\n'", "\\!x", "😀 ©"};
    for (const auto& [texts, unchanged] : {std::pair{plain, true}, std::pair{escaped, false}})
        for (const std::string& text : texts) {
            const std::string stored = encodeSettingValue(text);
            EXPECT_EQ(stored == text, unchanged) << text;
            EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos) << text;
            // What goes to the file must survive the CP932 round trip itself.
            EXPECT_EQ(Cp932::toUtf8(Cp932::fromUtf8(stored)), stored) << text;
            EXPECT_EQ(decodeSettingValue(stored), text) << text;
        }
    // Hand-edited escapes that are not ours stay as written.
    EXPECT_EQ(decodeSettingValue("\\!a\\qb\\u{41}\\u{3042}"), "a\\qbAあ");
}

TEST(ProfileDocument, FindsKeysWithoutCaseAndKeepsForeignLines) {
    const ProfileDocument doc(
        "; comment\r\n[Other]\r\ntxtSystem=wrong\r\n[FRMMAIN]\r\n  TxtSystem =scott\r\n"
        "txtSQL=first\ntxtSystem=second\rlast=1");
    const auto found = [&](const char* section, const char* key) {
        std::string raw;
        return doc.find(section, key, raw) ? raw : "<none>";
    };
    EXPECT_EQ((std::vector{found("frmMain", "txtSystem"), found("frmMain", "last"),
                           found("frmMain", "missing"), found("none", "txtSystem"),
                           found("frmMain", "; comment")}),
              (std::vector<std::string>{"scott", "1", "<none>", "<none>", "<none>"}));
}

TEST(ProfileDocument, SetReplacesAppendsAndAddsSections) {
    const std::tuple<std::string, std::string, std::string, std::string, std::string> cases[] = {
        {"", "frmMain", "a", "1", "[frmMain]\r\na=1\r\n"},
        {"[frmMain]\r\na=1\r\nb=2\r\n", "frmMain", "A", "9", "[frmMain]\r\nA=9\r\nb=2\r\n"},
        {"[frmMain]\r\na=1\r\n\r\n[x]\r\nk=v\r\n", "frmMain", "c", "3",
         "[frmMain]\r\na=1\r\nc=3\r\n\r\n[x]\r\nk=v\r\n"},
    };
    for (const auto& [before, section, key, value, after] : cases) {
        ProfileDocument doc(before);
        doc.set(section, key, value);
        EXPECT_EQ(doc.bytes(), after) << before;
    }
}

TextBoxes mainFormBoxes() {
    return {{"txtSystem", ""},
            {"txtPassOfSystem", ""},
            {"txtPassword", ""},
            {"txtSQL", ""},
            {"txtLFIDNO", "CREATE TABLE LFIDNO"}};
}

// The window's own tests cover a first start and the round trip; these, the file.
TEST(TextBoxSettings, FileIsCp932WithCrLfAndReadableByItsOwnerOnly) {
    TempDir dir;
    const std::string ini = dir.path() + "/Malvorn.ini";
    TextBoxes saved = mainFormBoxes();
    saved[0].text = "営業部", saved[1].text = "x", saved[3].text = "SELECT 表名\r\n  FROM LFIDNO";
    saved[2].text = std::string(1500, 'p');  // longer than the old 1023-byte buffer
    ASSERT_TRUE(gfSaveTextBoxes(ini, kMainFormSection, saved));

    const std::string bytes = base::readFileBytes(ini);
    EXPECT_TRUE(bytes.starts_with("[frmMain]\r\ntxtSystem=" + Cp932::fromUtf8("営業部") +
                                  "\r\ntxtPassOfSystem=x\r\n"));
    EXPECT_EQ(bytes.find("txtLFIDNO"), std::string::npos);
    EXPECT_NE(bytes.find("txtSQL=\\!SELECT " + Cp932::fromUtf8("表名") + "\\r\\n  FROM"),
              std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    TextBoxes loaded = mainFormBoxes();
    gfLoadTextBoxes(ini, kMainFormSection, loaded);
    EXPECT_EQ(loaded[2].text, saved[2].text);
}

TEST(TextBoxSettings, UnwritableLocationIsNotAnErrorAndChangesNothing) {
    TempDir dir;
    // A file where the folder should be: not even root can write below it.
    const std::string blocker = dir.path() + "/blocker";
    base::writeFileAtomically(blocker, "x");
    EXPECT_FALSE(gfSaveTextBoxes(blocker + "/Malvorn.ini", kMainFormSection, {{"txtSystem", "a"}}));
    EXPECT_EQ(base::readFileBytes(blocker), "x");
}

// The fallback folder is made, readable by its owner only, on the first save.
TEST(SettingsLocation, ProgramFolderWhenWritableElseUserConfigFolder) {
    TempDir dir;
    const std::string config = dir.path() + "/home/.config/Malvorn";
    EXPECT_EQ(settingsFilePath(dir.path(), config), dir.path() + "/Malvorn.ini");
    const std::string ini = settingsFilePath(dir.path() + "/not-there", config);
    EXPECT_EQ(ini, config + "/Malvorn.ini");
    ASSERT_TRUE(gfSaveTextBoxes(ini, kMainFormSection, {{"txtNetServiceName", "ORCL"}}));
    EXPECT_EQ(gfReadIni(ini, "frmMain", "txtNetServiceName"), "ORCL");
    EXPECT_EQ(std::filesystem::status(config).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

// Another process holds the lock: this one is refused with the message and
// the holder keeps it; once that process ends, even by a crash, it is free.
TEST(InstanceLock, LockOfAnotherProcessRefusesUntilItEndsEvenByCrash) {
    TempDir dir;
    const std::string path = dir.path() + "/malvorn.lock";
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready) | ::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        InstanceLock lock(path);
        const char ok = lock.tryAcquire() == InstanceLock::Result::kAcquired ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char go;
        (void)!::read(release[0], &go, 1);
        ::_exit(0);  // a crash: no destructor runs, the lock file stays behind
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    InstanceLock second(path);
    ScriptedMessages refused;
    EXPECT_FALSE(admitThisInstance(second, refused));
    ASSERT_EQ(refused.shown.size(), 1u);
    const auto& box = refused.shown[0];
    EXPECT_EQ(std::tie(box.text, box.icon, box.buttons, box.title),
              std::tuple("本プログラムは既に起動されています", base::MessageIcon::kExclamation,
                         base::MessageButtons::kOk, base::TitleForm::kBracketedError));

    (void)!::write(release[1], "x", 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {ready[0], ready[1], release[0], release[1]})
        ::close(fd);
    EXPECT_TRUE(base::fileExists(path));  // stale file left by the crashed run
    InstanceLock next(path);
    ScriptedMessages messages;
    EXPECT_TRUE(admitThisInstance(next, messages));
    EXPECT_TRUE(messages.shown.empty());
}

TEST(WorkArea, PixelsBecomeTwipsWithTheScreensFactors) {
    const std::tuple<PixelRect, double, double, WorkArea> cases[] = {
        {{0, 32, 1920, 1080}, 15, 15, {0, 480, 28800, 15720}},
        {{0, 0, 1001, 3}, 10, 10.4, {0, 0, 10010, 31}},  // rounded to the nearest twip
    };
    for (const auto& [pixels, fx, fy, expected] : cases) {
        const WorkArea a = workAreaInTwips(pixels, fx, fy), e = expected;
        EXPECT_EQ(std::tie(a.left, a.top, a.width, a.height),
                  std::tie(e.left, e.top, e.width, e.height));
    }
    EXPECT_EQ(std::tuple(twipsPerPixel(96), twipsPerPixel(144), twipsPerPixel(0)),
              std::tuple(15.0, 10.0, 15.0));
}

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
