#pragma once

#include <QString>
#include <cstdint>

namespace kv {

// The device that COM `number` stands for: the path in the environment variable TALVO_COM<n>
// when it is set (a USB adapter, a pseudo-terminal, any device path), else the platform's own
// name for that port: /dev/ttyS<n-1> (COM 1 is ttyS0), or COMn on Windows.
QString devicePathForPort(std::int16_t number);

} // namespace kv
