#pragma once

#include <QColor>
#include <cstdint>

namespace kv {

// Colour values as the window stores them: 0x00BBGGRR, or 0x80000000 + n for system colour n.
namespace colour {
constexpr std::uint32_t Green = 0x00FF00;
constexpr std::uint32_t Yellow = 0x00FFFF;
constexpr std::uint32_t InactiveBorder = 0x8000000B;
} // namespace colour

QColor toQColor(std::uint32_t colourValue);

} // namespace kv
