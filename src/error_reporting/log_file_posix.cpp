#include "error_reporting/log_file.h"

#ifndef Q_OS_WIN

#include <QFile>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kv::log_file {

// O_APPEND puts each write at the end of the file as it is at that moment.
qint64 append(const QString& path, const QByteArray& line) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    struct stat info {};
    const bool written = ::write(fd, line.constData(), size_t(line.size())) == line.size() &&
                         ::fstat(fd, &info) == 0;
    ::close(fd);
    return written ? qint64(info.st_size) : -1;
}

bool replace(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

} // namespace kv::log_file

#endif
