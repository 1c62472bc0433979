#include "error_reporting/qt_message_box.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

namespace kv {

namespace {

// A box that asks Yes or No takes only those for an answer, as the desktop's own boxes do:
// Esc does nothing and the box cannot be closed from its title bar. Where No ends the program,
// a stray Esc must not.
class AnswerBox : public QMessageBox {
  public:
    AnswerBox(QWidget* parent, bool yesNo) : QMessageBox(parent), yesNo_(yesNo) {
        if (yesNo_) setWindowFlag(Qt::WindowCloseButtonHint, false);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (yesNo_ && event->matches(QKeySequence::Cancel)) return event->accept();
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent* event) override {
        if (yesNo_ && !clickedButton()) return event->ignore();
        QMessageBox::closeEvent(event);
    }

  private:
    bool yesNo_;
};

} // namespace

QtMessageBox::QtMessageBox(QWidget* parent, ShowHelp showHelp)
    : parent_(parent), showHelp_(std::move(showHelp)) {}

int QtMessageBox::show(const Dialog& dialog) {
    QString text = dialog.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const bool yesNo = (dialog.style & 0xF) == 4;
    AnswerBox box(parent_, yesNo);
    box.setWindowTitle(dialog.title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if ((dialog.style & 0xF0) == 0x40) box.setIcon(QMessageBox::Information);

    QPushButton* first = box.addButton(yesNo ? QMessageBox::Yes : QMessageBox::Ok);
    QPushButton* second = yesNo ? box.addButton(QMessageBox::No) : nullptr;
    box.setDefaultButton(second && (dialog.style & 0x100) ? second : first);

    QShortcut help(QKeySequence(Qt::Key_F1), &box);
    QObject::connect(&help, &QShortcut::activated, [&] {
        if (showHelp_) showHelp_(dialog.helpFile, dialog.helpContext);
    });

    box.exec();
    if (!yesNo) return box::OK;
    return box.clickedButton() == first ? box::Yes : box::No;
}

} // namespace kv
