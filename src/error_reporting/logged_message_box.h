#pragma once

#include "error_reporting/call_log.h"
#include "error_reporting/message_box.h"

namespace kv {

// A message box that writes each dialog, and the answer given to it, into the call log.
class LoggedMessageBox : public MsgBox {
  public:
    explicit LoggedMessageBox(MsgBox& box) : box_(box) {}

    int show(const Dialog& dialog) override {
        qCInfo(callLog).noquote() << QStringLiteral("dialog (style %1): %2")
                                         .arg(dialog.style)
                                         .arg(visible(dialog.text.toUtf8()));
        const int answer = box_.show(dialog);
        qCInfo(callLog).noquote() << "answer:"
                                  << (answer == box::Yes  ? "Yes"
                                      : answer == box::No ? "No"
                                                          : "OK");
        return answer;
    }

  private:
    MsgBox& box_;
};

} // namespace kv
