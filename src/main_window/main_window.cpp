#include "main_window/main_window.h"

#include "main_window/caption_label.h"
#include "main_window/carrier_lamp.h"
#include "main_window/colour_value.h"
#include "main_window/picture_button.h"
#include "main_window/program_icon.h"
#include "main_window/twips.h"
#include "main_window/window_accessible.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QScreen>
#include <QShortcut>
#include <limits>

namespace kv {

namespace {

constexpr std::uint32_t WindowText = 0x80000008;
constexpr int StatusRowTop = 2460;
constexpr int StatusRowHeight = 315;

// The dialog font at 8 pt. The form's boxes are fixed, and the longest status texts ("Waiting to
// Connect: 44 seconds") need a face narrower than the usual desktop fonts to stay on one line of
// lblStatus: Liberation Sans Narrow (metrics of Arial Narrow), else Microsoft Sans Serif, the
// narrowest dialog font Windows always has.
QFont dialogFont() {
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow"),
                      QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial")});
    font.setPointSizeF(8);
    return font;
}

// Arial, or its metric twin on a system without it (Linux, Wine), where the platform's own pick
// for a missing face can be any font at all, a serif one included.
QFont arial(qreal pointSize) {
    QFont font;
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) {
    static const bool factoryInstalled =
        (QAccessible::installFactory(windowAccessibleFactory), true);
    Q_UNUSED(factoryInstalled);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Talvo Dialer V1.03"));
    setWindowIcon(programIcon(screen()->depth()));
    setFont(dialogFont());
    setFixedSize(twipsToPixels(6090, logicalDpiX()), twipsToPixels(2805, logicalDpiY()));

    // Later controls lie over earlier ones: each status panel, made left to right, covers its
    // left neighbour's right edge, so the two frames share one line.
    Label5 = new CaptionLabel(QStringLiteral("1. Select COM port used by modem"), this);
    place(Label5, 180, 120, 2715, 255);

    // From (2880, 200) to (3180, 200), one pixel thick; the end point is not drawn. The line is
    // the control's whole face, so it shows at any desktop scale, where a drawn line may be
    // rounded away. It is decoration: a screen reader does not meet it (window_accessible.h).
    Line1 = new QFrame(this);
    Line1->setAutoFillBackground(true);
    QPalette linePalette = Line1->palette();
    linePalette.setColor(QPalette::Window, toQColor(WindowText));
    Line1->setPalette(linePalette);
    place(Line1, 2880, 200, 300, 15);
    Line1->resize(Line1->width(), 1);

    Combo1 = new QComboBox(this);
    Combo1->setEditable(true);
    // Whatever is typed stays exactly as typed: no completion from the list, no new entries.
    Combo1->setCompleter(nullptr);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    for (int n = 1; n <= 8; ++n)
        Combo1->addItem(QStringLiteral("COM %1").arg(n));
    Combo1->setCurrentIndex(0);
    place(Combo1, 3300, 60, 1155, 315);
    Combo1->setAccessibleName(QStringLiteral("COM port"));
    Combo1->setAccessibleDescription(QStringLiteral("The COM port the modem is attached to"));

    Label1 = new CaptionLabel(QStringLiteral("2. Enter telephone number to dial"), this);
    place(Label1, 180, 360, 4275, 255);
    // The label's top row is the COM box's bottom one (the box ends at 375 twips). The label
    // leaves that corner to the box, so the box shows whole; raising the box instead would move
    // it to the end of the order in which a screen reader meets the controls.
    Label1->setMask(QRegion(Label1->rect()) - Combo1->geometry().translated(-Label1->pos()));
    Label2 = new CaptionLabel(QStringLiteral("3. Press Dial button"), this);
    place(Label2, 180, 600, 4275, 255);
    Label3 = new CaptionLabel(QStringLiteral("Phone Number:"), this);
    place(Label3, 180, 900, 1875, 195);

    txtPhoneNum = new QLineEdit(this);
    place(txtPhoneNum, 180, 1080, 5835, 315);
    txtPhoneNum->setMaxLength(std::numeric_limits<int>::max()); // no limit of its own
    txtPhoneNum->setAccessibleName(QStringLiteral("Phone number"));
    txtPhoneNum->setAccessibleDescription(QStringLiteral("The telephone number to dial"));

    buttonConnect = new PictureButton(QStringLiteral("Dial"),
                                      QStringLiteral(":/icons/telephone.xpm"), QSize(24, 22), this);
    place(buttonConnect, 60, 1680, 1275, 675);
    buttonConnect->setAccessibleDescription(QStringLiteral("Dials the number on the modem"));
    buttonHangUp = new PictureButton(
        QStringLiteral("Hang Up"), QStringLiteral(":/icons/keypad_cross.xpm"), QSize(16, 16), this);
    place(buttonHangUp, 1640, 1680, 1275, 675);
    buttonHangUp->setAccessibleDescription(QStringLiteral("Ends the call"));
    buttonQuit = new PictureButton(QStringLiteral("Quit"), QStringLiteral(":/icons/cross.xpm"),
                                   QSize(24, 22), this);
    place(buttonQuit, 3220, 1680, 1275, 675);
    buttonQuit->setAccessibleDescription(QStringLiteral("Closes the dialer"));
    buttonHelp = new PictureButton(QStringLiteral("Help"), QStringLiteral(":/icons/help_book.xpm"),
                                   QSize(16, 16), this);
    place(buttonHelp, 4800, 1680, 1215, 675);
    buttonHelp->setAccessibleDescription(QStringLiteral("Opens the help"));

    Label6 = statusPanel(new CaptionLabel(QStringLiteral("Status:"), this), 0, 615);
    Label6->setFont(arial(8.25));
    Label6->setAlignment(Qt::AlignRight);
    lblStatus = statusPanel(new CaptionLabel(QString(), this), 600, 2355);
    lblStatus->setSpokenPrefix(QStringLiteral("Status: "));
    txtReply = statusPanel(new CaptionLabel(QString(), this), 2940, 1215);
    txtReply->setFont(arial(6.75));
    txtReply->showLiterally();
    txtReply->setSpokenPrefix(QStringLiteral("Modem reply: "));
    Label7 = statusPanel(new CaptionLabel(QStringLiteral("Carrier:"), this), 4140, 615);
    Label7->setFont(arial(8.25));
    Label7->setAlignment(Qt::AlignRight);
    txtModemStatus = statusPanel(new CarrierLamp(this), 4740, 1335);
    txtModemStatus->setAlignment(Qt::AlignHCenter);
    txtModemStatus->setSpokenPrefix(QStringLiteral("Carrier: "));

    setTabOrder(txtPhoneNum, buttonConnect);
    setTabOrder(buttonConnect, buttonHangUp);
    setTabOrder(buttonHangUp, buttonQuit);
    setTabOrder(buttonQuit, Combo1);
    setTabOrder(Combo1, buttonHelp);
    setTabOrder(buttonHelp, txtPhoneNum);
    txtPhoneNum->setFocus();

    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, &MainWindow::helpRequested);
}

void MainWindow::place(QWidget* control, int left, int top, int width, int height) {
    control->setGeometry(
        twipsToPixels(QRect(left, top, width, height), logicalDpiX(), logicalDpiY()));
}

// One panel of the status row along the bottom: a single sunken line like a text box's.
template <class Label> Label* MainWindow::statusPanel(Label* panel, int left, int width) {
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    place(panel, left, StatusRowTop, width, StatusRowHeight);
    return panel;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit closeRequested();
}

} // namespace kv
