#pragma once

#include "call_control/form.h"

#include <QComboBox>
#include <QLineEdit>

namespace kv {

// The number box and the port box as the call-control routines read them.
class LineEditText : public TextBox {
  public:
    explicit LineEditText(QLineEdit& edit) : edit_(edit) {}
    QString text() const override { return edit_.text(); }

  private:
    QLineEdit& edit_;
};

class ComboText : public TextBox {
  public:
    explicit ComboText(QComboBox& combo) : combo_(combo) {}
    QString text() const override { return combo_.currentText(); }

  private:
    QComboBox& combo_;
};

} // namespace kv
