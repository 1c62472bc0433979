#include "main_window/colour_value.h"

#include <QGuiApplication>
#include <QPalette>

namespace kv {

namespace {

// System colour n of the desktop's scheme, from the platform where it has one.
QColor systemColour(std::uint32_t n) {
    const QPalette palette = QGuiApplication::palette();
    switch (n) {
    case 5: // window background
        return palette.color(QPalette::Base);
    case 8: // window text
        return palette.color(QPalette::Text);
    case 15: // button face
        return palette.color(QPalette::Button);
    case 18: // button text
        return palette.color(QPalette::ButtonText);
    default:
        // Qt has no inactive-border role; this is its colour in the standard scheme.
        return QColor(0xD4, 0xD0, 0xC8);
    }
}

} // namespace

QColor toQColor(std::uint32_t colourValue) {
    if (colourValue & 0x80000000u) return systemColour(colourValue & 0xFFu);
    return QColor(int(colourValue & 0xFF), int((colourValue >> 8) & 0xFF),
                  int((colourValue >> 16) & 0xFF));
}

} // namespace kv
