#pragma once

#include <QString>

namespace kv {

inline QString withoutLineBreaks(QString text) {
    text.remove(QChar(u'\n'));
    text.remove(QChar(u'\r'));
    return text;
}

// Appends text read from the modem to a reply and strips its line breaks, so CR LF "OK" CR LF
// reads "OK" and an echo runs into its result code.
inline void appendToReply(QString& reply, const QString& text) {
    reply = withoutLineBreaks(reply + text);
}

} // namespace kv
