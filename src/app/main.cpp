// malvorn: the desktop program. Start-up refuses a second copy, measures the
// work area, fixes where the settings live and shows the main window.

#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/drivers.h"
#include "jet/jet_reader_client.h"
#include "shell/instance_lock.h"
#include "shell/settings_file.h"
#include "shell/ui/fonts.h"
#include "shell/ui/main_window.h"
#include "shell/ui/qt_messages.h"
#include "shell/work_area.h"

namespace {

using namespace malvorn::shell;

// For the pictures of the README: MALVORN_SCREENSHOT names a PNG file and
// MALVORN_SCREENSHOT_TAB the page (1 to 4); the window shows that page, saves
// itself into the file and closes. Not meant for users.
void scheduleScreenshot(ui::frmMain& window) {
    const char* file = std::getenv("MALVORN_SCREENSHOT");
    if (file == nullptr || *file == '\0')
        return;
    const char* tabText = std::getenv("MALVORN_SCREENSHOT_TAB");
    const int tab = tabText != nullptr ? std::atoi(tabText) : 1;
    window.selectTab(tab >= 1 && tab <= 4 ? tab : 1);
    const QString path = QString::fromLocal8Bit(file);
    QTimer::singleShot(1000, &window, [&window, path] {
        if (!window.grab().save(path, "PNG"))
            std::fprintf(stderr, "malvorn: cannot save %s\n", path.toLocal8Bit().constData());
        window.close();
    });
}

int Main(QApplication& app) {
    ui::registerFontSubstitutions();

    ui::QtMessageService startMessages(nullptr);
    InstanceLock instance(defaultInstanceLockPath());
    if (!admitThisInstance(instance, startMessages))
        return 0;

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    const double twipsX = twipsPerPixel(screen->logicalDotsPerInchX());
    const double twipsY = twipsPerPixel(screen->logicalDotsPerInchY());
    const WorkArea workArea =
        workAreaInTwips({available.left(), available.top(), available.left() + available.width(),
                         available.top() + available.height()},
                        twipsX, twipsY);

    const std::string programFolder = QCoreApplication::applicationDirPath().toStdString();
    const std::string iniPath = settingsFilePath(programFolder, userConfigFolder());

    ui::frmMain window({iniPath, workArea, twipsX, twipsY,
                        malvorn::core::sessionOpener(malvorn::app::defaultDrivers()),
                        [](const std::string& path) { return malvorn::jet::openJetSource(path); }});
    scheduleScreenshot(window);
    window.ShowForm();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Malvorn"));
    return Main(app);
}
