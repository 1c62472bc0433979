#pragma once

#include <QString>

namespace kv {

// Appends text read from the modem to a reply and strips its line breaks, so CR LF "OK" CR LF
// reads "OK" and an echo runs into its result code.
inline void appendToReply(QString& reply, const QString& text) {
    reply += text;
    reply.remove(QChar(u'\n'));
    reply.remove(QChar(u'\r'));
}

} // namespace kv
