#include "window/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace malvorn::window {

QString installJapaneseQtTexts() {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // Owned by the application, so it lives as long as the texts are used.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        delete translator;
        return folder + QStringLiteral("/qtbase_ja.qm");
    }
    QCoreApplication::installTranslator(translator);
    return {};
}

}  // namespace malvorn::window
