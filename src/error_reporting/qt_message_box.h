#pragma once

#include "error_reporting/message_box.h"

#include <functional>

class QWidget;

namespace kv {

// Message boxes on the desktop: the style picks the icon, the buttons and the default button;
// F1 opens the dialog's help file at its context (the boxes carry no Help button).
class QtMessageBox : public MsgBox {
  public:
    using ShowHelp = std::function<void(const QString& helpFile, int context)>;
    QtMessageBox(QWidget* parent, ShowHelp showHelp);
    int show(const Dialog& dialog) override;
    // The window the boxes centre over; it may be made after the boxes are.
    void setParentWidget(QWidget* parent) { parent_ = parent; }

  private:
    QWidget* parent_;
    ShowHelp showHelp_;
};

} // namespace kv
