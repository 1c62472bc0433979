#include "error_reporting/qt_message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>

namespace kv {

QtMessageBox::QtMessageBox(QWidget* parent, ShowHelp showHelp)
    : parent_(parent), showHelp_(std::move(showHelp)) {}

int QtMessageBox::show(const Dialog& dialog) {
    QString text = dialog.text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(parent_);
    box.setWindowTitle(dialog.title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    if ((dialog.style & 0xF0) == 0x40) box.setIcon(QMessageBox::Information);

    const bool yesNo = (dialog.style & 0xF) == 4;
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
