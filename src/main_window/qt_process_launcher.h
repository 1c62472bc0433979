#pragma once

#include "main_window/process_launcher.h"

namespace kv {

// The command line is handed over as it stands: the program is what comes before the first
// blank, and everything after it is passed as one argument, blanks included, unquoted.
class QtProcessLauncher : public ProcessLauncher {
  public:
    bool startDetached(const QString& commandLine) override;
};

} // namespace kv
