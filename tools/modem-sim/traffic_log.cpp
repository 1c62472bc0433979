#include "traffic_log.h"

namespace kv::sim {

void TrafficLog::event(qint64 ms, const char* what) {
    line(ms, what);
}

void TrafficLog::bytes(qint64 ms, const char* what, const QByteArray& bytes) {
    line(ms, QByteArray(what) + ' ' + quoted(bytes));
}

void TrafficLog::text(qint64 ms, const char* what, const QByteArray& text) {
    line(ms, QByteArray(what) + ' ' + text);
}

QByteArray TrafficLog::quoted(const QByteArray& bytes) {
    QByteArray out = "\"";
    for (char c : bytes) {
        switch (c) {
        case '\r':
            out += "\\r";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            if (c >= 0x20 && c < 0x7f)
                out += c;
            else
                out += "\\x" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
        }
    }
    return out + '"';
}

void TrafficLog::line(qint64 ms, const QByteArray& rest) {
    std::fprintf(file_, "%lld.%03lld %s\n", ms / 1000, ms % 1000, rest.constData());
    std::fflush(file_);
}

} // namespace kv::sim
