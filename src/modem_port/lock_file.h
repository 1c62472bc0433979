#pragma once

#include <QString>

// The lock files through which the programs of a POSIX system share a serial device: minicom, cu,
// pppd and QSerialPort each hold <device> by a file LCK..<device> in /var/lock. Windows opens a COM
// port for one program at a time, and has none.
namespace kv::lock_file {

#ifdef Q_OS_WIN

inline bool heldElsewhere(const QString&) {
    return false;
}
inline void markOwn(const QString&) {}

#else

// The device's part of a lock's name: its path under /dev with '/' written '_' (ttyUSB0, pts_3).
QString deviceTag(const QString& device);

// Whether a live process holds `device` by its lock. A lock whose process has ended is stale and
// is removed; one that names no process counts as held, as minicom takes it.
bool heldElsewhere(const QString& device);

// Rewrites the lock that QSerialPort took at the open in the form that the other programs read:
// this process's ID as ten characters and a newline. QSerialPort removes it at the close.
void markOwn(const QString& device);

#endif

} // namespace kv::lock_file
