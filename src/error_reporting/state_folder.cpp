#include "error_reporting/state_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace kv {

QString stateFolder() {
#ifdef Q_OS_WIN
    const QString local = qEnvironmentVariable(
        "LOCALAPPDATA", QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    return QDir::fromNativeSeparators(local) + QStringLiteral("/Talvo Dialer");
#else
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state)) state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/talvo-dialer");
#endif
}

} // namespace kv
