#include "main_window/caption_label.h"
#include "main_window/main_window.h"

#include <QAccessible>
#include <QApplication>
#include <QPainter>
#include <QTest>

#include <algorithm>

using namespace kv;

namespace {

QImage rendered(CaptionLabel& label) {
    label.resize(120, 32);
    return label.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The same text drawn plainly, with no access-key processing, where the label draws its own.
QImage plain(CaptionLabel& label, const QString& text) {
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(label.palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.setFont(label.font());
    painter.setPen(label.palette().color(QPalette::WindowText));
    painter.drawText(label.contentsRect().adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignTop,
                     text);
    return image;
}

QRect differences(const QImage& a, const QImage& b) {
    QRect box;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class CaptionLabelTest : public QObject {
    Q_OBJECT
  private slots:
    void doubledAmpersandShowsOne_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::newRow("AT&&F0") << "AT&&F0"
                                << "AT&F0";
        QTest::newRow("two pairs") << "&&&&"
                                   << "&&";
    }

    void doubledAmpersandShowsOne() {
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        CaptionLabel label(caption);
        const QImage image = rendered(label);
        QCOMPARE(image, plain(label, shown));
        QCOMPARE(label.shownText(), shown);
    }

    // The reply box shows the modem's words as they are: the echo of AT&F0 keeps its "&".
    void replyBoxShowsAmpersands() {
        w_.txtReply->setCaption("AT&F0OK");
        CaptionLabel doubled("AT&&F0OK"); // drawn through access keys, it shows AT&F0OK
        doubled.setFrameStyle(w_.txtReply->frameStyle());
        doubled.setFont(w_.txtReply->font());
        QCOMPARE(rendered(*w_.txtReply), rendered(doubled));
        QCOMPARE(w_.txtReply->shownText(), QString("AT&F0OK"));
    }

    // "A&B" looks like "AB" with only an underline added under the B.
    void singleAmpersandUnderlinesTheNextCharacter() {
        CaptionLabel label(QStringLiteral("A&B"));
        const QImage image = rendered(label);
        const QImage reference = plain(label, QStringLiteral("AB"));
        const QRect changed = differences(image, reference);
        QVERIFY2(!changed.isEmpty(), "something is underlined");

        const QFontMetrics metrics(label.font());
        const QRect text = label.contentsRect().adjusted(1, 1, -1, -1);
        const int baseline = text.top() + metrics.ascent();
        const int bStarts = text.left() + metrics.horizontalAdvance(QStringLiteral("A"));
        const int bEnds = text.left() + metrics.horizontalAdvance(QStringLiteral("AB"));
        QVERIFY2(changed.top() >= baseline - 1, "only below the glyphs");
        QVERIFY2(changed.left() >= bStarts - 1 && changed.right() <= bEnds + 1, "only under B");
        QVERIFY2(changed.width() >= metrics.horizontalAdvance(QStringLiteral("B")) - 2,
                 "all along the B");
    }

    // Labels default to the button face and button text of the desktop, not the window's.
    void defaultColoursFollowTheButtonColours() {
        const QPalette saved = QApplication::palette();
        QPalette palette = saved;
        palette.setColor(QPalette::Button, QColor(0x11, 0x22, 0x33));
        palette.setColor(QPalette::ButtonText, QColor(0xEE, 0xDD, 0x00));
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        QApplication::setPalette(palette);

        CaptionLabel label(QStringLiteral("HH"));
        QFont heavy = label.font();
        heavy.setPixelSize(24);
        heavy.setBold(true);
        label.setFont(heavy);
        const QImage image = rendered(label);
        QApplication::setPalette(saved);
        QCOMPARE(image.pixel(image.width() - 2, image.height() - 2), qRgb(0x11, 0x22, 0x33));
        const auto* bits = reinterpret_cast<const QRgb*>(image.constBits());
        QVERIFY2(std::count(bits, bits + image.width() * image.height(), qRgb(0xEE, 0xDD, 0x00)),
                 "text in button text");
    }

    void screenReadersHearTheStatusLine_data() {
        QTest::addColumn<CaptionLabel*>("panel");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("heard");
        QTest::newRow("status") << w_.lblStatus << "AT&&F0"
                                << "Status: AT&F0";
        QTest::newRow("carrier") << w_.txtModemStatus << "Detected"
                                 << "Carrier: Detected";
    }

    void screenReadersHearTheStatusLine() {
        QFETCH(CaptionLabel*, panel);
        QFETCH(QString, caption);
        panel->setCaption(caption);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(panel);
        QCOMPARE(iface->role(), QAccessible::StaticText);
        QTEST(iface->text(QAccessible::Name), "heard");
    }

    void everyControlHasAnAccessibleName() {
        for (QWidget* child : w_.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(child);
            QVERIFY2(!iface->text(QAccessible::Name).isEmpty(), child->metaObject()->className());
        }
    }

  private:
    MainWindow w_;
};

QTEST_MAIN(CaptionLabelTest)
#include "caption_label_test.moc"
