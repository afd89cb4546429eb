#pragma once

#include <QRect>

namespace malvorn::window {

// Positions of the window and the chooser are designed in twips at 15 twips
// a pixel.
inline constexpr int kTwipsPerPixel = 15;

inline QRect twipsToPixels(int left, int top, int width, int height) {
    return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
            height / kTwipsPerPixel};
}

}  // namespace malvorn::window
