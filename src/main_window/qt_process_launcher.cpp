#include "main_window/qt_process_launcher.h"

#include <QProcess>

namespace kv {

bool QtProcessLauncher::startDetached(const QString& commandLine) {
    const qsizetype blank = commandLine.indexOf(u' ');
    QProcess process;
    process.setProgram(blank < 0 ? commandLine : commandLine.left(blank));
#ifdef Q_OS_WIN
    if (blank >= 0) process.setNativeArguments(commandLine.mid(blank + 1));
#else
    if (blank >= 0) process.setArguments({commandLine.mid(blank + 1)});
#endif
    return process.startDetached();
}

} // namespace kv
