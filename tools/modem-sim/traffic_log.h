#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <cstdio>

namespace kv::sim {

// One line per event, flushed at once so that a reader can follow it live:
//   <seconds since start, to the millisecond> <event> ["<bytes>"]
// e.g. `12.345 rx "AT&F0\r"`. Bytes are quoted C-style: \r \n \t \" \\ and \xHH for any other
// byte outside printable ASCII.
class TrafficLog {
  public:
    explicit TrafficLog(std::FILE* file) : file_(file) {}
    void event(qint64 ms, const char* what);
    void bytes(qint64 ms, const char* what, const QByteArray& bytes);
    void text(qint64 ms, const char* what, const QByteArray& text); // unquoted

    static QByteArray quoted(const QByteArray& bytes);

  private:
    void line(qint64 ms, const QByteArray& rest);
    std::FILE* file_;
};

} // namespace kv::sim
