#include "error_reporting/dialog_texts.h"
#include "error_reporting/error_trap.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

using namespace kv;

namespace {

// A pattern for a text the program builds, where "%1" stands for the part it fills in at run time
// (a number, the telephone number).
QRegularExpression pattern(const QString& text) {
    QStringList escaped;
    for (const QString& piece : text.split("%1"))
        escaped << QRegularExpression::escape(piece);
    return QRegularExpression(escaped.join("\\S+"));
}

QString unexpectedErrorText(const QString& routinePiece) {
    const std::int32_t standIn = 1234567;
    return texts::unexpectedError(standIn, routinePiece).replace(QString::number(standIn), "%1");
}

} // namespace

// Every text the program can put before the operator is explained in the help, and each dialog
// in the topic that F1 opens for it.
class HelpContentTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QFile help(KV_HELP_FILE);
        QVERIFY2(help.open(QIODevice::ReadOnly), qPrintable(help.fileName()));
        document_.setHtml(QString::fromUtf8(help.readAll()));
    }

    void explainsCaption_data() {
        QTest::addColumn<QString>("caption");
        for (const char* caption :
             {"Configuring modem", "AT&&F0", "AT&&C1", "Dialing %1",
              "Waiting to Connect: %1 seconds", "Connected", "OK to start Ampliview",
              "Did not connect at 9600 bps", "Hanging up", "Offline - Ready to dial",
              "Hang up attempt cancelled", "Detected", "Not Detected", "<Unknown>"})
            QTest::newRow(caption) << QString(caption);
    }

    // As the label shows it ("&&" is one "&"), in running prose, where HTML makes one blank of
    // every run of white space.
    void explainsCaption() {
        QFETCH(QString, caption);
        const QString shown = caption.replace("&&", "&").simplified();
        QVERIFY2(pattern(shown).match(document_.toPlainText().simplified()).hasMatch(),
                 qPrintable(shown));
    }

    void explainsDialogInItsTopic_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("helpContext");

        QTest::newRow("missing number") << texts::MissingNumber << 1;
        const struct {
            const char* routine;
            const TrapProfile& trap;
        } routines[] = {{"Dial", traps::Dial},
                        {"Hang Up", traps::HangUp},
                        {"escape", traps::Escape},
                        {"hang-up command", traps::HangUpCommand}};
        for (const auto& r : routines) {
            if (r.trap.testsInvalidPort)
                QTest::addRow("%s: invalid port", r.routine)
                    << texts::InvalidPort << r.trap.helpContext;
            QTest::addRow("%s: port in use", r.routine)
                << r.trap.portInUseText << r.trap.helpContext;
            QTest::addRow("%s: unexpected error", r.routine)
                << unexpectedErrorText(r.trap.routinePiece) << r.trap.helpContext;
        }
    }

    void explainsDialogInItsTopic() {
        QFETCH(QString, text);
        QFETCH(int, helpContext);
        const QString topic = topicText(helpContext);
        QVERIFY2(!topic.isEmpty(),
                 qPrintable("no topic for context " + QString::number(helpContext)));
        // The topic shows the dialog in a box that keeps its blanks and line breaks; the empty line
        // under the last line is not shown.
        const QString shown = QString(text).replace(texts::CrLf, "\n").trimmed();
        QVERIFY2(pattern(shown).match(topic).hasMatch(), qPrintable(shown));
    }

    void linksLeadToTopics() {
        QSet<QString> anchors;
        QStringList links;
        for (QTextBlock block = document_.begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                for (const QString& name : format.anchorNames())
                    anchors.insert(name);
                if (format.anchorHref().startsWith(u'#')) links << format.anchorHref().mid(1);
            }
        QVERIFY(!links.isEmpty());
        for (const QString& link : links)
            QVERIFY2(anchors.contains(link), qPrintable(link));
    }

  private:
    // From the topic's anchor to the next topic heading, one line for each line shown.
    QString topicText(int helpContext) const {
        const QString anchor = "context-" + QString::number(helpContext);
        QStringList lines;
        bool inTopic = false;
        for (QTextBlock block = document_.begin(); block.isValid(); block = block.next()) {
            bool anchored = false;
            for (auto it = block.begin(); !it.atEnd(); ++it)
                anchored |= it.fragment().charFormat().anchorNames().contains(anchor);
            if (anchored)
                inTopic = true;
            else if (inTopic && block.blockFormat().headingLevel() == 2)
                break;
            if (inTopic) lines << block.text();
        }
        return lines.join(u'\n').replace(QChar::LineSeparator, u'\n');
    }

    QTextDocument document_;
};

QTEST_MAIN(HelpContentTest)
#include "help_content_test.moc"
