#pragma once

namespace malvorn::platform {

// Screen geometry in twips (1/1440 inch), the unit every window position of
// the program is given in.

// The desktop minus panels, as the platform reports it: pixel coordinates.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Twips per pixel for a screen of `dotsPerInch` logical dots: 15 at 96 dpi.
double twipsPerPixel(double dotsPerInch);

// The work area in twips: its size (gWorkWidth, gWorkHeight) and, unlike the
// platform's original use of it, its offset from the screen's corner.
struct WorkArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Each figure rounded to the nearest twip; widths use the horizontal factor,
// heights the vertical one.
WorkArea workAreaInTwips(const PixelRect& pixels, double twipsPerPixelX, double twipsPerPixelY);

struct TwipsPoint {
    double left = 0;
    double top = 0;
};

// Where a window of this outer size goes so that it is centred on the work
// area. The work area's offset is added, so a panel at the top or the left of
// the screen does not push the window off-centre. A window larger than the
// work area gets a negative offset from it: nothing clamps it.
TwipsPoint gfCenterForm(const WorkArea& area, double widthTwips, double heightTwips);

}  // namespace malvorn::platform
