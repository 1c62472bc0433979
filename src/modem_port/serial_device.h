#pragma once

#include <QString>

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

// Whether the device lowers DTR at its last close (a tty's HUPCL, which is usually set). Windows'
// serial driver always does.
bool hangsUpOnClose(QSerialPort& port);

// Closes the port so that DTR falls (hangUp) or stays up where the system allows it, and leaves
// the device set that way for its next close. QSerialPort alone would put back the settings it
// found at open, which may keep DTR up or let it fall against the caller's wish.
void close(QSerialPort& port, bool hangUp);

} // namespace kv::serial_device
