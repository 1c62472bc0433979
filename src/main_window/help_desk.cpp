#include "main_window/help_desk.h"

#include "error_reporting/help_path.h"
#include "main_window/process_launcher.h"

namespace kv {

HelpDesk::HelpDesk(ProcessLauncher& launcher, MessageBox& box, const QString& appDir)
    : launcher_(launcher), box_(box), appDir_(appDir) {}

void HelpDesk::registerApplicationHelp() {
    applicationHelpFile_ = helpPath(appDir_, QStringLiteral("\\Help\\KV.hlp"));
}

QString HelpDesk::applicationHelpFile() const { return applicationHelpFile_; }

QString HelpDesk::helpCommandLine() const {
    return QStringLiteral("winhlp32 ") + helpPath(appDir_, QStringLiteral("\\Help\\KV.hlp"));
}

void HelpDesk::buttonHelp_Click() { launcher_.startDetached(helpCommandLine()); }

void HelpDesk::showTopic(const QString&, int) {}

} // namespace kv
