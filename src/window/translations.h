#pragma once

#include <QString>

namespace malvorn::window {

// Qt's own texts (the standard buttons はい, いいえ, キャンセル and the like)
// in Japanese, as the platform's boxes show them, from Qt's translations
// folder. Call once after the application exists. Gives the file it could not
// load, empty when the texts are in place.
QString installJapaneseQtTexts();

}  // namespace malvorn::window
