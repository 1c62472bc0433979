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
// completion port that QSerialPort waits on, so only a read asked for brings them in.
void takeArrived(QSerialPort& port);

// Closes the port without taking DTR down, so a call that is up stays up for the program that
// opens the port next.
void closeKeepingDtr(QSerialPort& port);

} // namespace kv::serial_device
