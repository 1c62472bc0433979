#include "main_window/main_window.h"

#include "main_window/caption_label.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace kv {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Talvo Dialer V1.03"));
    setFixedSize(406, 187);
    Label5 = new CaptionLabel(QStringLiteral("1. Select COM port used by modem"), this);
    Line1 = new QWidget(this);
    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    for (int n = 1; n <= 8; ++n) Combo1->addItem(QStringLiteral("COM %1").arg(n));
    Label1 = new CaptionLabel(QStringLiteral("2. Enter telephone number to dial"), this);
    Label2 = new CaptionLabel(QStringLiteral("3. Press Dial button"), this);
    Label3 = new CaptionLabel(QStringLiteral("Phone Number:"), this);
    txtPhoneNum = new QLineEdit(this);
    buttonConnect = new QPushButton(QStringLiteral("Dial"), this);
    buttonHangUp = new QPushButton(QStringLiteral("Hang Up"), this);
    buttonQuit = new QPushButton(QStringLiteral("Quit"), this);
    buttonHelp = new QPushButton(QStringLiteral("Help"), this);
    Label6 = new CaptionLabel(QStringLiteral("Status:"), this);
    lblStatus = new CaptionLabel(QString(), this);
    txtReply = new CaptionLabel(QString(), this);
    Label7 = new CaptionLabel(QStringLiteral("Carrier:"), this);
    txtModemStatus = new CaptionLabel(QStringLiteral("<Unknown>"), this);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

} // namespace kv
