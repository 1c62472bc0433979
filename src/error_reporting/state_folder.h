#pragma once

#include <QString>

namespace kv {

// The folder that holds this user's own state of the dialer, the call log among it:
// $XDG_STATE_HOME/talvo-dialer (~/.local/state/talvo-dialer when that is unset or relative), or
// on Windows %LOCALAPPDATA%\Talvo Dialer. Made by whoever writes there first.
QString stateFolder();

} // namespace kv
