#pragma once

#include <QString>

class QWidget;

namespace kv {

class MessageBox;
class ProcessLauncher;

// The application's help: the WinHelp command line the Help button starts, and our own converted
// help (Help/KV.html beside the program) wherever that viewer or its file is missing.
class HelpDesk {
public:
    HelpDesk(ProcessLauncher& launcher, MessageBox& box, const QString& appDir);

    void registerApplicationHelp();        // at start-up
    QString applicationHelpFile() const;   // empty until registered
    QString helpCommandLine() const;       // "winhlp32 " + the help file, unquoted
    void buttonHelp_Click();
    // A help file and context as the dialogs name them (F1).
    void showTopic(const QString& helpFile, int context);

private:
    ProcessLauncher& launcher_;
    MessageBox& box_;
    QString appDir_;
    QString applicationHelpFile_;
};

} // namespace kv
