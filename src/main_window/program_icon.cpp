#include "main_window/program_icon.h"

namespace kv {

QIcon programIcon(int screenDepth) {
    QIcon icon;
    if (screenDepth < 4) {
        icon.addFile(QStringLiteral(":/icons/program_32_mono.xpm"), QSize(32, 32));
        return icon;
    }
    icon.addFile(QStringLiteral(":/icons/program_32.xpm"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/program_16.xpm"), QSize(16, 16));
    return icon;
}

} // namespace kv
