#include "error_reporting/log_file.h"

#ifdef Q_OS_WIN

#include <QDir>
#include <windows.h>

namespace kv::log_file {

// FILE_APPEND_DATA alone puts each write at the end of the file as it is at that moment, and
// FILE_SHARE_DELETE lets another process move the file aside meanwhile. A user's local
// application data is the user's own, so the file keeps the folder's permissions.
qint64 append(const QString& path, const QByteArray& line) {
    const HANDLE file =
        CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                    FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    DWORD done = 0;
    LARGE_INTEGER size{};
    const bool written = WriteFile(file, line.constData(), DWORD(line.size()), &done, nullptr) &&
                         done == DWORD(line.size()) && GetFileSizeEx(file, &size);
    CloseHandle(file);
    return written ? size.QuadPart : -1;
}

bool replace(const QString& from, const QString& to) {
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING);
}

} // namespace kv::log_file

#endif
