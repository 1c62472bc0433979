#pragma once

#include <QIcon>

namespace kv {

// The program's icon for a screen of the given colour depth: the 16-colour images at 32 x 32 and
// 16 x 16, or the 2-colour 32 x 32 image where the screen cannot show 16 colours.
QIcon programIcon(int screenDepth);

} // namespace kv
