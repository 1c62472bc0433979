#pragma once

#include "main_window/process_launcher.h"

#include <QStringList>

namespace kv::test {

class FakeLauncher : public ProcessLauncher {
  public:
    bool startDetached(const QString& commandLine) override {
        started.append(commandLine);
        return starts;
    }
    QStringList started;
    bool starts = true;
};

} // namespace kv::test
