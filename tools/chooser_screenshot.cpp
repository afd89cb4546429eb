// chooser_screenshot MODE PATH PNG: opens the chooser dialog on PATH in MODE,
// saves a picture of it once it has its initial focus and closes it. For the
// README's pictures (tools/chooser-screenshots.sh); not meant for users.

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "window/fonts.h"
#include "window/frm_folder.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: chooser_screenshot File|Script|Folder PATH PNG\n");
        return 2;
    }
    malvorn::window::registerFontSubstitutions();
    const QWidget screen;
    malvorn::window::frmFolder dialog(malvorn::window::folderContextFor(screen));
    dialog.setPath(QString::fromLocal8Bit(argv[2]).toStdString());
    const QString out = QString::fromLocal8Bit(argv[3]);
    int status = 0;
    auto* timer = dialog.findChild<QTimer*>(QStringLiteral("timInitial"));
    QObject::connect(timer, &QTimer::timeout, &dialog, [&] {
        if (!dialog.grab().save(out, "PNG")) {
            std::fprintf(stderr, "chooser_screenshot: cannot save %s\n", argv[3]);
            status = 1;
        }
        dialog.reject();
    });
    dialog.ShowForm(argv[1]);
    return status;
}
