#pragma once

#include <QString>
#include <optional>

class QSerialPort;

// What the modem port needs of the operating system beyond QSerialPort. Each system has its own
// part: serial_device_posix.cpp and serial_device_windows.cpp.
namespace kv::serial_device {

// The device a port's name leads to, links resolved, or empty when there is no serial device
// there (no such file, or a file that is not a terminal device).
QString resolve(const QString& name);

// Whether the device under an open port has gone away: a USB adapter pulled out, the far end of
// a pseudo-terminal closed.
bool hungUp(QSerialPort& port);

// Starts the port reading bytes that have reached the driver but not the port, where the notice
// of their arrival can go missing. Under Wine, a COM port's arrival event never reaches the
// completion port that QSerialPort waits on, so only a read asked for brings them in. Returns
// whether a read may be bringing bytes in now, which is when waiting for finished reads pays.
bool takeArrived(QSerialPort& port);

// Bytes that QSerialPort has handed to the driver and that the driver has not yet put on the line.
// A pseudo-terminal counts none: what its far end has not read yet has left.
qint64 queuedOutput(QSerialPort& port);

// Discards what the port has not yet sent, and leaves it able to write again; `dtr`: the level
// that DTR is at.
void discardOutput(QSerialPort& port, bool dtr);

// Whether the device lowers DTR at its last close (a tty's HUPCL, which is usually set). Windows'
// serial driver always does.
bool hangsUpOnClose(QSerialPort& port);

// A release clears the device's HUPCL so that the line stays up for the next program, and the
// device keeps it cleared after this process has ended, until the machine restarts. So its own
// setting is remembered in the state folder, for this boot, where a dialer started later, after a
// new login too, finds it and puts it back. An empty `own` forgets it. Windows remembers nothing:
// its driver lowers DTR at every close whatever the device was set to.
std::optional<bool> rememberedHangUp(const QString& device);
void rememberHangUp(const QString& device, std::optional<bool> own);

// Closes the port so that DTR falls (hangUp) or stays up where the system allows it, and leaves
// the device set that way for its next close. QSerialPort alone would put back the settings it
// found at open, which may keep DTR up or let it fall against the caller's wish.
void close(QSerialPort& port, bool hangUp);

} // namespace kv::serial_device
