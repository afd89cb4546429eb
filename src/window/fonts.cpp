#include "window/fonts.h"

#include <QStringList>

namespace malvorn::window {

void registerFontSubstitutions() {
    // Fallbacks after the first choice keep Japanese text readable where only
    // part of the Noto CJK family is installed.
    QFont::insertSubstitutions(kWindowFontFamily,
                               {QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAPGothic"),
                                QStringLiteral("VL PGothic")});
    QFont::insertSubstitutions(
        kFixedFontFamily, {QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                           QStringLiteral("VL Gothic")});
}

namespace {

QFont makeFont(const QString& family, double points, bool fixedPitch) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setFixedPitch(fixedPitch);
    font.setStyleHint(fixedPitch ? QFont::Monospace : QFont::SansSerif);
    return font;
}

}  // namespace

QFont windowFont() {
    return makeFont(kWindowFontFamily, 11.25, false);
}

QFont buttonFont() {
    return makeFont(kWindowFontFamily, 9, false);
}

QFont fixedFont() {
    return makeFont(kFixedFontFamily, 11.25, true);
}

}  // namespace malvorn::window
