#pragma once

#include "error_reporting/message_box.h"
#include "error_reporting/run_time_error.h"
#include "main_window/process_launcher.h"

#include <QtTest>

namespace kv::test {

// The number of the run-time error that `action` raises, or 0.
inline int errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

// A box by what it says, its words checked to the byte: "no number", "invalid", "in use A" (as
// Dial says it), "B" (Hang Up, the escape), "C" (the hang-up command), "error <n> <routine>";
// then its style and its help file and topic. Any other text shows as it is.
inline QString boxName(const Dialog& d) {
    static const QString inUse = "The COM port you have selected to connect to your modem\r\nis "
                                 "being used by another program such as Ampliview.  Verify that "
                                 "the COM port you have selected is indeed\r\nthe port with your "
                                 "modem.  If so, close the other program (such as Ampliview)";
    static const QMap<QString, QString> texts{
        {"no number", "No phone number entered.  Press OK button, then enter a phone number and "
                      "then press DIAL button"},
        {"invalid", "You have selected an invalid COM port number. Select a valid COM port number "
                    "and try again\r\n\r\n"},
        {"in use A", "The COM port you have selected to connect to your modem is being used by "
                     "another program.  Close that other program and try again.  Also verify "
                     "that you have selected the correct COM port.\r\n\r\n"},
        {"in use B", inUse + " and retry dialing.\r\n\r\n"},
        {"in use C", inUse + "\r\nand retry dialing.\r\n\r\n"}};
    static const QRegularExpression error(
        "^Unexpected error (-?\\d+) in routine (\\w+)\r\n\r\nNote error number and situation and "
        "contact Kestrel-Downe\r\n\r\nDo you wish to continue running this program\\?$");
    const auto m = error.match(d.text);
    const QString name = m.hasMatch() ? "error " + m.captured(1) + " " + m.captured(2) : d.text;
    return QString("%1 %2 %3#%4")
               .arg(texts.key(d.text, name), QString::number(d.style),
                    QDir::fromNativeSeparators(d.helpFile).remove("/opt/talvo dialer"),
                    QString::number(d.helpContext)) +
           (d.title == "Talvo Dialer" ? "" : " titled " + d.title);
}

// Keeps every dialog; a Yes/No box takes the next scripted answer, else Yes.
struct FakeMessageBox : MsgBox {
    int show(const Dialog& dialog) override {
        shown << dialog;
        if (onShow) onShow(dialog);
        if ((dialog.style & 0xF) != 4) return box::OK;
        return answers.isEmpty() ? box::Yes : answers.takeFirst();
    }
    QList<Dialog> shown;
    QList<int> answers;
    std::function<void(const Dialog&)> onShow;
};

struct FakeLauncher : ProcessLauncher {
    bool startDetached(const QString& commandLine) override {
        return started << commandLine, starts;
    }
    QStringList started;
    bool starts = true;
};

} // namespace kv::test
