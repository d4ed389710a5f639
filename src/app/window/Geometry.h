#pragma once

#include <QRect>

namespace pm {

// The window is designed in twips; 15 twips make one pixel at 96 dpi, and Qt scales the pixels on
// denser screens.
constexpr int px(int twips) {
    return (twips + 7) / 15;
}

inline QRect twipRect(int left, int top, int width, int height) {
    return {px(left), px(top), px(width), px(height)};
}

} // namespace pm
