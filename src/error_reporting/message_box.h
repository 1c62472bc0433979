#pragma once

#include <QString>

namespace kv {

// Message-box styles and answers as the window system numbers them.
namespace box {
constexpr int Information = 64;         // information icon, OK
constexpr int YesNoInformationNo = 324; // Yes and No, information icon, No the default
constexpr int OK = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace box

struct Dialog {
    QString text;
    int style = box::Information;
    QString title;
    QString helpFile; // what F1 opens while the box is up
    int helpContext = 0;
};

// A modal message box: shows the dialog and returns the button the operator pressed. (Not named
// MessageBox: <windows.h> makes that name a macro.)
class MsgBox {
  public:
    virtual ~MsgBox() = default;
    virtual int show(const Dialog& dialog) = 0;
};

} // namespace kv
