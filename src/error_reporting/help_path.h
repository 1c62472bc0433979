#pragma once

#include <QDir>
#include <QString>

namespace kv {

// A help file's path: the application directory followed by a fixed relative path written with
// backslashes ("\Help\KV.hlp"), turned into the platform's own separators.
inline QString helpPath(const QString& appDir, const QString& relative) {
    return appDir + QDir::toNativeSeparators(QString(relative).replace(u'\\', u'/'));
}

} // namespace kv
