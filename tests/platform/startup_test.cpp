#include <sys/wait.h>
#include <unistd.h>

#include <tuple>

#include <gtest/gtest.h>

#include "base/files.h"
#include "platform/instance_lock.h"
#include "platform/work_area.h"
#include "support/scripted_messages.h"
#include "support/temp_dir.h"

namespace malvorn::platform {
namespace {

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

}  // namespace
}  // namespace malvorn::platform
