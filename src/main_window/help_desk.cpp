#include "main_window/help_desk.h"

#include "error_reporting/dialog_texts.h"
#include "error_reporting/help_path.h"
#include "error_reporting/message_box.h"
#include "main_window/process_launcher.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>

namespace kv {

namespace {
const QString KvHlp = QStringLiteral("\\Help\\KV.hlp");
const QString WinHelp = QStringLiteral("winhlp32 ");
} // namespace

HelpDesk::HelpDesk(ProcessLauncher& launcher, MsgBox& box, const QString& appDir)
    : launcher_(launcher), box_(box), appDir_(appDir) {}

HelpDesk::~HelpDesk() = default;

void HelpDesk::registerApplicationHelp() {
    applicationHelpFile_ = helpPath(appDir_, KvHlp);
}

QString HelpDesk::applicationHelpFile() const {
    return applicationHelpFile_;
}

QString HelpDesk::helpCommandLine() const {
    return WinHelp + helpPath(appDir_, KvHlp);
}

void HelpDesk::buttonHelp_Click() {
    open(helpPath(appDir_, KvHlp), helpCommandLine(), 0);
}

void HelpDesk::showApplicationHelp() {
    if (applicationHelpFile_.isEmpty()) return;
    open(applicationHelpFile_, WinHelp + applicationHelpFile_, 0);
}

void HelpDesk::showTopic(const QString& helpFile, int context) {
    // A dialog without a help file (our own "help not found" notice among them) has no topic.
    if (helpFile.isEmpty()) return;
#ifdef Q_OS_WIN
    // WinHelp opens a file at a topic given by its context number.
    open(helpFile, WinHelp + QStringLiteral("-n %1 ").arg(context) + helpFile, context);
#else
    showConverted(helpFile, context);
#endif
}

void HelpDesk::open(const QString& hlpFile, const QString& commandLine, int context) {
    if (QFileInfo::exists(hlpFile) && launcher_.startDetached(commandLine)) return;
    showConverted(hlpFile, context);
}

QString HelpDesk::convertedHelpFile() const {
    return QDir(QDir::fromNativeSeparators(appDir_)).filePath(QStringLiteral("Help/KV.html"));
}

void HelpDesk::showConverted(const QString& lookedFor, int context) {
    const QString html = convertedHelpFile();
    if (!QFileInfo::exists(html)) {
        box_.show({QStringLiteral("Help is not available.  It was looked for in:") + texts::CrLf +
                       texts::CrLf + lookedFor + texts::CrLf + QDir::toNativeSeparators(html),
                   box::Information, texts::Title, QString(), 0});
        return;
    }
    if (!viewer_) {
        viewer_ = std::make_unique<QTextBrowser>();
        viewer_->setWindowTitle(QStringLiteral("Talvo Dialer Help"));
        viewer_->setOpenExternalLinks(true);
        viewer_->resize(560, 440);
    }
    // F1 in a modal dialog: the viewer must take input while the dialog waits for its answer.
    const Qt::WindowModality modality =
        QApplication::activeModalWidget() ? Qt::ApplicationModal : Qt::NonModal;
    if (viewer_->windowModality() != modality) {
        viewer_->hide();
        viewer_->setWindowModality(modality);
    }
    QUrl url = QUrl::fromLocalFile(html);
    if (context != 0) url.setFragment(QStringLiteral("context-%1").arg(context));
    viewer_->setSource(url);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

} // namespace kv
