#include "platform/work_area.h"

#include <cmath>

namespace malvorn::platform {

double twipsPerPixel(double dotsPerInch) {
    return dotsPerInch > 0 ? 1440.0 / dotsPerInch : 15.0;
}

WorkArea workAreaInTwips(const PixelRect& pixels, double twipsPerPixelX, double twipsPerPixelY) {
    const auto twips = [](int value, double factor) {
        return static_cast<int>(std::lround(value * factor));
    };
    return {twips(pixels.left, twipsPerPixelX), twips(pixels.top, twipsPerPixelY),
            twips(pixels.right - pixels.left, twipsPerPixelX),
            twips(pixels.bottom - pixels.top, twipsPerPixelY)};
}

TwipsPoint gfCenterForm(const WorkArea& area, double widthTwips, double heightTwips) {
    return {area.left + (area.width - widthTwips) / 2, area.top + (area.height - heightTwips) / 2};
}

}  // namespace malvorn::platform
