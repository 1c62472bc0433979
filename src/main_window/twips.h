#pragma once

#include <QRect>
#include <cmath>

namespace kv {

// The form is laid out in twips (1/1440 inch). Each edge is rounded on its own, as the original
// layout engine did, so 1640 twips become 109 pixels at 96 DPI and neighbouring controls that
// overlap by 15 twips share exactly one pixel.
inline int twipsToPixels(int twips, int dpi) {
    return int(std::lround(twips * double(dpi) / 1440.0));
}

inline QRect twipsToPixels(const QRect& twips, int dpiX, int dpiY) {
    return {twipsToPixels(twips.left(), dpiX), twipsToPixels(twips.top(), dpiY),
            twipsToPixels(twips.width(), dpiX), twipsToPixels(twips.height(), dpiY)};
}

} // namespace kv
