#include "main_window/caption_label.h"
#include "main_window/colour_value.h"
#include "main_window/main_window.h"

#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>

using namespace kv;

namespace {

QString shownText(QWidget* c) {
    if (auto* label = qobject_cast<CaptionLabel*>(c)) return label->shownText();
    if (auto* button = qobject_cast<QPushButton*>(c)) return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(c)) return edit->text();
    return qobject_cast<QComboBox*>(c)->currentText();
}

// The bounding box of the pixels in `area` that differ from `background`.
QRect inkIn(const QImage& image, const QRect& area, QColor background) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != background) box |= QRect(x, y, 1, 1);
    return box;
}

// The 16 colours of the standard VGA palette, the only ones a 16-colour picture may use.
const QSet<QRgb> Vga16{0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                       0xFF008080, 0xFFC0C0C0, 0xFF808080, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                       0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};

} // namespace

// One window serves every check; the checks that change a caption put it back.
class WindowLayoutTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        // Every pixel figure below is twips / 15, which holds at 96 DPI.
        QCOMPARE(w_.logicalDpiX(), 96);
        QCOMPARE(w_.logicalDpiY(), 96);
    }

    void window() {
        QCOMPARE(w_.windowTitle(), "Talvo Dialer V1.03");
        QCOMPARE(w_.minimumSize(), QSize(406, 187));
        QCOMPARE(w_.maximumSize(), QSize(406, 187));
        const Qt::WindowFlags flags = w_.windowFlags();
        QVERIFY(flags & Qt::WindowSystemMenuHint);
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(w_.font().pointSizeF(), 8.0);
        QVERIFY(!w_.windowIcon().isNull());
    }

    void startState_data() {
        QTest::addColumn<QWidget*>("control");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<qreal>("arialPoints"); // 0: the window's font
        QTest::addColumn<bool>("framed");
        QTest::addColumn<uint>("background"); // labels only
        auto row = [](const char* name, QWidget* c, QRect twips, const QString& shown,
                      qreal arial = 0, bool framed = false, uint background = 0x8000000F) {
            QTest::newRow(name) << c << twips << shown << arial << framed << background;
        };
        row("Label5", w_.Label5, {180, 120, 2715, 255}, "1. Select COM port used by modem");
        row("Combo1", w_.Combo1, {3300, 60, 1155, 315}, "COM 1");
        row("Label1", w_.Label1, {180, 360, 4275, 255}, "2. Enter telephone number to dial");
        row("Label2", w_.Label2, {180, 600, 4275, 255}, "3. Press Dial button");
        row("Label3", w_.Label3, {180, 900, 1875, 195}, "Phone Number:");
        row("txtPhoneNum", w_.txtPhoneNum, {180, 1080, 5835, 315}, "");
        row("buttonConnect", w_.buttonConnect, {60, 1680, 1275, 675}, "Dial");
        row("buttonHangUp", w_.buttonHangUp, {1640, 1680, 1275, 675}, "Hang Up");
        row("buttonQuit", w_.buttonQuit, {3220, 1680, 1275, 675}, "Quit");
        row("buttonHelp", w_.buttonHelp, {4800, 1680, 1215, 675}, "Help");
        row("Label6", w_.Label6, {0, 2460, 615, 315}, "Status:", 8.25, true);
        row("lblStatus", w_.lblStatus, {600, 2460, 2355, 315}, "", 0, true);
        row("txtReply", w_.txtReply, {2940, 2460, 1215, 315}, "", 6.75, true);
        row("Label7", w_.Label7, {4140, 2460, 615, 315}, "Carrier:", 8.25, true);
        row("txtModemStatus", w_.txtModemStatus, {4740, 2460, 1335, 315}, "<Unknown>", 0, true,
            0x8000000B);
    }

    void startState() {
        QFETCH(QWidget*, control);
        QFETCH(QRect, twips);
        QFETCH(qreal, arialPoints);
        QFETCH(bool, framed);
        QFETCH(uint, background);
        auto px = [](int t) { return qRound(t / 15.0); };
        QCOMPARE(control->geometry(),
                 QRect(px(twips.left()), px(twips.top()), px(twips.width()), px(twips.height())));
        QTEST(shownText(control), "shown");
        QVERIFY(control->isEnabled());
        const QFont font = control->font();
        if (arialPoints == 0) {
            QCOMPARE(font, w_.font());
        } else {
            QVERIFY(QStringList({"Arial", "Liberation Sans"}).contains(QFontInfo(font).family()));
            QCOMPARE(font.pointSizeF(), arialPoints);
            QCOMPARE(font.weight(), QFont::Normal);
            QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
        }
        if (auto* label = qobject_cast<CaptionLabel*>(control)) {
            QCOMPARE(label->frameShape(), framed ? QFrame::Panel : QFrame::NoFrame);
            if (framed) {
                QCOMPARE(label->frameShadow(), QFrame::Sunken);
                QCOMPARE(label->lineWidth(), 1);
            }
            QCOMPARE(label->backColor(), background);
            const QImage image = label->grab().toImage();
            QCOMPARE(image.pixel(label->width() - 3, label->height() - 3),
                     toQColor(background).rgb());
        }
    }

    // The boxes are fixed; the window's font must leave every text on one line inside its box,
    // as drawn, at any desktop scale.
    void textsFitTheirBoxes_data() {
        QTest::addColumn<CaptionLabel*>("label");
        QTest::addColumn<QString>("text");
        for (CaptionLabel* label :
             {w_.Label5, w_.Label1, w_.Label2, w_.Label3, w_.Label6, w_.Label7})
            QTest::newRow(qPrintable(label->shownText())) << label << label->caption();
        QStringList statuses{"Offline - Ready to dial",     "Hang up attempt cancelled",
                             "Did not connect at 9600 bps", "OK to start Ampliview",
                             "Configuring modem",           "Dialing 555-0101"};
        for (int n = 44; n >= 0; --n)
            statuses << QString("Waiting to Connect: %1 seconds").arg(n);
        for (const QString& status : statuses)
            QTest::newRow(qPrintable(status)) << w_.lblStatus << status;
        QTest::newRow("Not Detected") << w_.txtModemStatus << "Not Detected";
    }

    void textsFitTheirBoxes() {
        QFETCH(CaptionLabel*, label);
        QFETCH(QString, text);
        const QString caption = label->caption();
        label->setCaption(QString());
        const QImage empty = label->grab().toImage();
        label->setCaption(text);
        const QImage shown = label->grab().toImage();
        label->setCaption(caption);
        QRect ink;
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x)
                if (shown.pixel(x, y) != empty.pixel(x, y)) ink |= QRect(x, y, 1, 1);
        const qreal scale = shown.devicePixelRatio();
        const QRectF contents = label->contentsRect();
        const QRect inside =
            QRectF(contents.topLeft() * scale, contents.size() * scale).toAlignedRect();
        QVERIFY2(inside.contains(ink), "inside the box");
        QVERIFY2(ink.height() <= QFontMetricsF(label->font()).height() * scale + 1, "one line");
    }

    // Every control leaves its mark on the window at any desktop scale, the one-pixel line too.
    void everyControlShows() {
        const QImage image = w_.grab().toImage();
        const qreal scale = image.devicePixelRatio();
        for (QWidget* control : w_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const QRect area =
                QRectF(QPointF(control->pos()) * scale, QSizeF(control->size()) * scale)
                    .toAlignedRect() &
                image.rect();
            QSet<QRgb> colours;
            for (int y = area.top(); y <= area.bottom(); ++y)
                for (int x = area.left(); x <= area.right(); ++x)
                    colours.insert(image.pixel(x, y));
            const bool line = control == w_.Line1;
            QVERIFY2(line ? colours.contains(toQColor(0x80000008).rgb()) : colours.size() > 1,
                     qPrintable(control->accessibleName()));
        }
    }

    void alignment_data() {
        QTest::addColumn<CaptionLabel*>("label");
        QTest::addColumn<Qt::Alignment>("side");
        QTest::newRow("Label5") << w_.Label5 << Qt::Alignment(Qt::AlignLeft);
        QTest::newRow("Label6") << w_.Label6 << Qt::Alignment(Qt::AlignRight);
        QTest::newRow("lblStatus") << w_.lblStatus << Qt::Alignment(Qt::AlignLeft);
        QTest::newRow("txtReply") << w_.txtReply << Qt::Alignment(Qt::AlignLeft);
        QTest::newRow("Label7") << w_.Label7 << Qt::Alignment(Qt::AlignRight);
        QTest::newRow("txtModemStatus") << w_.txtModemStatus << Qt::Alignment(Qt::AlignHCenter);
    }

    void alignment() {
        QFETCH(CaptionLabel*, label);
        QFETCH(Qt::Alignment, side);
        const QString caption = label->caption();
        if (caption.isEmpty()) label->setCaption("OK");
        const QImage image = label->grab().toImage();
        label->setCaption(caption);
        const QRect inside = label->contentsRect();
        const QRect text = inkIn(image, inside, label->palette().color(QPalette::Window));
        QVERIFY(!text.isEmpty());
        QVERIFY2(text.top() - inside.top() <= 3, "text sits at the top");
        if (side == Qt::AlignLeft) QVERIFY(text.left() - inside.left() <= 3);
        if (side == Qt::AlignRight) QVERIFY(inside.right() - text.right() <= 3);
        if (side == Qt::AlignHCenter) QVERIFY(qAbs(text.center().x() - inside.center().x()) <= 2);
    }

    // Each status panel covers its left neighbour's right edge: one dark line between them.
    void statusPanelsShareFrameLines() {
        const QImage image = w_.grab().toImage();
        const QList<CaptionLabel*> row{w_.Label6, w_.lblStatus, w_.txtReply, w_.Label7,
                                       w_.txtModemStatus};
        QCOMPARE(row.first()->x(), 0);
        for (qsizetype i = 1; i < row.size(); ++i) {
            const CaptionLabel* left = row[i - 1];
            const CaptionLabel* right = row[i];
            QCOMPARE(left->geometry().right(), right->x());
            const int y = right->y() + right->height() - 4;
            QCOMPARE(image.pixel(right->x(), y), right->palette().color(QPalette::Dark).rgb());
            QCOMPARE(image.pixel(right->x() - 1, y), left->palette().color(QPalette::Window).rgb());
        }
    }

    // (2880, 200) to (3180, 200) twips: pixels 192 to 211 of row 13, the end point excluded.
    void line1IsOnePixelOfWindowText() {
        const QImage image = w_.grab().toImage();
        const QColor windowText = toQColor(0x80000008);
        for (int x = 191; x <= 212; ++x) {
            QCOMPARE(image.pixelColor(x, 13) == windowText, x >= 192 && x <= 211);
            QVERIFY(image.pixelColor(x, 12) != windowText && image.pixelColor(x, 14) != windowText);
        }
    }

    void comPortList() {
        QVERIFY(w_.Combo1->isEditable());
        QStringList items;
        for (int i = 0; i < w_.Combo1->count(); ++i)
            items << w_.Combo1->itemText(i);
        QCOMPARE(items, QStringList({"COM 1", "COM 2", "COM 3", "COM 4", "COM 5", "COM 6", "COM 7",
                                     "COM 8"}));
    }

    void pictures_data() {
        QTest::addColumn<QPushButton*>("button");
        QTest::addColumn<QSize>("size");
        QTest::newRow("buttonConnect") << w_.buttonConnect << QSize(24, 22);
        QTest::newRow("buttonHangUp") << w_.buttonHangUp << QSize(16, 16);
        QTest::newRow("buttonQuit") << w_.buttonQuit << QSize(24, 22);
        QTest::newRow("buttonHelp") << w_.buttonHelp << QSize(16, 16);
    }

    // A 16-colour picture of its size, shown centred above the caption.
    void pictures() {
        QFETCH(QPushButton*, button);
        QFETCH(QSize, size);
        const QImage picture =
            button->icon().pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(picture.size(), size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = picture.pixel(x, y);
                QVERIFY2(qAlpha(pixel) == 0 || Vga16.contains(pixel), "VGA colours, no blending");
            }

        const QImage face = button->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QPoint found(-1, -1);
        for (int y = 0; y + size.height() <= face.height() && found.x() < 0; ++y)
            for (int x = 0; x + size.width() <= face.width() && found.x() < 0; ++x) {
                bool match = true;
                for (int py = 0; py < size.height() && match; ++py)
                    for (int px = 0; px < size.width() && match; ++px)
                        if (qAlpha(picture.pixel(px, py)) == 255)
                            match = picture.pixel(px, py) == face.pixel(x + px, y + py);
                if (match) found = {x, y};
            }
        QVERIFY2(found.x() >= 0, "the picture is on the button face");
        QVERIFY(qAbs(found.x() + size.width() / 2 - button->width() / 2) <= 1);
        const QColor faceColour = face.pixelColor(found.x() - 2, found.y());
        const QRect below(2, found.y() + size.height(), button->width() - 4,
                          button->height() - found.y() - size.height() - 4);
        const QRect caption = inkIn(face, below, faceColour);
        QVERIFY2(!caption.isEmpty(), "the caption is under the picture");
        QVERIFY(qAbs(caption.center().x() - button->width() / 2) <= 2);
    }

  private:
    MainWindow w_;
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
