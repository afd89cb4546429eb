#pragma once

#include <QFont>
#include <QString>

namespace malvorn::window {

// The window is designed for these two Japanese faces. They are not found on
// this platform, so the names are mapped onto installed fonts: the
// proportional face onto Noto Sans CJK JP, the fixed-pitch one onto Noto Sans
// Mono CJK JP, which keeps the path and statement boxes fixed-pitch.
inline const QString kWindowFontFamily = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kFixedFontFamily = QStringLiteral("ＭＳ ゴシック");

// Safe to call more than once; call before the first window is built.
void registerFontSubstitutions();

QFont windowFont();  // 11.25 point, proportional
QFont buttonFont();  // 9 point, proportional
QFont fixedFont();   // 11.25 point, fixed pitch

}  // namespace malvorn::window
