#pragma once

#include "error_reporting/message_box.h"

#include <QList>
#include <functional>

namespace kv::test {

// Answers dialogs from a script and keeps every one it was shown. Without a scripted answer,
// an OK box answers OK and a Yes/No box answers `otherwise`.
class FakeMessageBox : public MessageBox {
  public:
    int show(const Dialog& dialog) override {
        shown.append(dialog);
        if (whileOpen) whileOpen(dialog);
        if ((dialog.style & 0xF) != 4) return box::OK;
        return answers.isEmpty() ? otherwise : answers.takeFirst();
    }

    QList<Dialog> shown;
    QList<int> answers;
    int otherwise = box::Yes;
    std::function<void(const Dialog&)> whileOpen;
};

} // namespace kv::test
