// malvorn: the desktop program. Start-up refuses a second copy, measures the
// work area, fixes where the settings live and shows the main window.

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/drivers.h"
#include "jet/jet_reader_client.h"
#include "platform/instance_lock.h"
#include "platform/settings_file.h"
#include "platform/work_area.h"
#include "window/fonts.h"
#include "window/main_window.h"
#include "window/migration_tab.h"
#include "window/qt_messages.h"
#include "window/translations.h"

namespace {

using namespace malvorn;

// For the pictures of the README: MALVORN_SCREENSHOT names a PNG file and
// MALVORN_SCREENSHOT_TAB the page (1 to 5); the window shows that page, saves
// itself into the file and closes. On page 5 the migration runs first when
// its settings name a database. Not meant for users.
void scheduleScreenshot(window::frmMain& form) {
    const char* file = std::getenv("MALVORN_SCREENSHOT");
    if (file == nullptr || *file == '\0')
        return;
    const char* tabText = std::getenv("MALVORN_SCREENSHOT_TAB");
    const int tab = tabText != nullptr ? std::atoi(tabText) : 1;
    form.selectTab(tab >= 1 && tab <= 5 ? tab : 1);
    const QString path = QString::fromLocal8Bit(file);
    const auto shoot = [&form, path] {
        if (!form.grab().save(path, "PNG"))
            std::fprintf(stderr, "malvorn: cannot save %s\n", path.toLocal8Bit().constData());
        form.close();
    };
    auto* migration = form.findChild<window::MigrationTab*>();
    if (tab == 5 && migration != nullptr && !migration->ui().txtMigDbPath->text().isEmpty()) {
        QObject::connect(migration, &window::MigrationTab::runEnded, &form,
                         [&form, shoot] { QTimer::singleShot(500, &form, shoot); });
        QTimer::singleShot(500, &form, [migration] { migration->start(false); });
        return;
    }
    QTimer::singleShot(1000, &form, shoot);
}

int Main(QApplication& app) {
    window::registerFontSubstitutions();
    // Without them the boxes still work, in English: said, not hidden.
    if (const QString missing = window::installJapaneseQtTexts(); !missing.isEmpty())
        std::fprintf(stderr, "malvorn: Qt の日本語訳がありません (ボタンは英語になります): %s\n",
                     missing.toLocal8Bit().constData());

    window::QtMessageService startMessages(nullptr);
    platform::InstanceLock instance(platform::defaultInstanceLockPath());
    if (!platform::admitThisInstance(instance, startMessages))
        return 0;

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    const double twipsX = platform::twipsPerPixel(screen->logicalDotsPerInchX());
    const double twipsY = platform::twipsPerPixel(screen->logicalDotsPerInchY());
    const platform::WorkArea workArea = platform::workAreaInTwips(
        {available.left(), available.top(), available.left() + available.width(),
         available.top() + available.height()},
        twipsX, twipsY);

    const std::string programFolder = QCoreApplication::applicationDirPath().toStdString();
    const std::string iniPath =
        platform::settingsFilePath(programFolder, platform::userConfigFolder());

    window::frmMain mainWindow(
        {iniPath, workArea, twipsX, twipsY,
         malvorn::core::sessionOpener(malvorn::app::defaultDrivers()),
         [](const std::string& path) { return malvorn::jet::openJetSource(path); }});
    scheduleScreenshot(mainWindow);
    mainWindow.ShowForm();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Malvorn"));
    return Main(app);
}
