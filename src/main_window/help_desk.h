#pragma once

#include <QString>
#include <memory>

class QTextBrowser;

namespace kv {

class MsgBox;
class ProcessLauncher;

// The application's help: the WinHelp command line the Help button starts, and our own converted
// help (Help/KV.html beside the program) wherever that viewer or its file is missing.
class HelpDesk {
  public:
    HelpDesk(ProcessLauncher& launcher, MsgBox& box, const QString& appDir);
    ~HelpDesk();

    void registerApplicationHelp();      // at start-up
    QString applicationHelpFile() const; // empty until registered
    QString helpCommandLine() const;     // "winhlp32 " + the help file, unquoted
    void buttonHelp_Click();
    void showApplicationHelp(); // the help key in the main window: the registered file
    // A help file and context as the dialogs name them (F1); WinHelp is tried first on Windows.
    void showTopic(const QString& helpFile, int context);

    QTextBrowser* viewer() const { return viewer_.get(); } // null until first needed

  private:
    // WinHelp on the file when both are there; our converted help at `context` otherwise.
    void open(const QString& hlpFile, const QString& commandLine, int context);
    void showConverted(const QString& lookedFor, int context);
    QString convertedHelpFile() const;

    ProcessLauncher& launcher_;
    MsgBox& box_;
    QString appDir_;
    QString applicationHelpFile_;
    std::unique_ptr<QTextBrowser> viewer_;
};

} // namespace kv
