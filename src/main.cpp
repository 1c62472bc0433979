#include "error_reporting/call_log.h"
#include "error_reporting/logged_message_box.h"
#include "error_reporting/qt_message_box.h"
#include "main_window/frm_main.h"
#include "main_window/qt_process_launcher.h"
#include "modem_port/event_loop_clock.h"
#include "modem_port/serial_modem_port.h"

#include <QApplication>
#include <QDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    kv::CallLog log(kv::CallLog::defaultPath());
    // Only the window's own end (Quit, the close box, an error dialog's No) ends the program.
    app.setQuitOnLastWindowClosed(false);

    kv::SerialModemPort port;
    kv::EventLoopClock clock;
    kv::QtProcessLauncher launcher;
    const QString appDir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    kv::HelpDesk* help = nullptr;
    kv::QtMessageBox desktopBox(nullptr, [&](const QString& file, int context) {
        if (help) help->showTopic(file, context);
    });
    kv::LoggedMessageBox box(desktopBox);

    kv::FrmMain frmMain({port, clock, box, launcher, appDir, [] { QCoreApplication::exit(0); }});
    help = &frmMain.help();
    desktopBox.setParentWidget(&frmMain.window());
    frmMain.window().show();
    return app.exec();
}
