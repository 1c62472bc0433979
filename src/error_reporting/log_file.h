#pragma once

#include <QByteArray>
#include <QString>

// The file operations of a log that several processes write at once: each line is appended whole
// at the end, whichever process wrote last, and the file can be moved aside while another process
// has it open. Each system has its own part: log_file_posix.cpp and log_file_windows.cpp.
namespace kv::log_file {

// Appends `line` to the file at `path`, making the file, readable by its owner alone, if there is
// none, and returns the file's size after it, or -1 when it cannot be written.
qint64 append(const QString& path, const QByteArray& line);

// Moves the file `from` to `to`, replacing what is there.
bool replace(const QString& from, const QString& to);

} // namespace kv::log_file
