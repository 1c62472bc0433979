#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kv {

// The port maps that name devices for COM ports, the user's before the machine's:
// $XDG_CONFIG_HOME/talvo-dialer/ports.conf (~/.config when that is unset) and
// /etc/talvo-dialer/ports.conf. Windows has COM names of its own, so none there.
QStringList portMapFiles();

// The device that COM `number` stands for. The first that names one wins: the environment
// variable TALVO_COM<n> (a one-off run, a pseudo-terminal), then the key COM<n> in the [ports]
// section of each file of `portMaps` in turn, else the platform's own name for that port:
// /dev/ttyS<n-1> (COM 1 is ttyS0), or COMn on Windows. A file that is missing or unreadable
// names nothing.
QString devicePathForPort(std::int16_t number, const QStringList& portMaps = portMapFiles());

} // namespace kv
