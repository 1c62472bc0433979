#pragma once

#include <QString>

namespace kv {

// Starts a command line as a separate process and does not wait for it.
class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;
    // False when the process could not be started.
    virtual bool startDetached(const QString& commandLine) = 0;
};

} // namespace kv
