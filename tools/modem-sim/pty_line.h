#pragma once

#include <QByteArray>

namespace kv::sim {

// The modem's end of a pseudo-terminal: the master side. A program opens slavePath() as its
// serial port. The line is raw (no echo, no CR/LF translation), so bytes pass unchanged both ways.
class PtyLine {
  public:
    PtyLine(); // throws std::system_error
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    int fd() const { return master_; }
    QByteArray slavePath() const { return slavePath_; }

    // The poll events of the master now: POLLHUP while nobody holds the slave side,
    // POLLIN while bytes are waiting.
    short probe() const;
    QByteArray read(qsizetype most); // at most `most` bytes of what is waiting
    QByteArray readAll() { return read(-1); }
    bool hangsUpOnClose() const; // the slave side's HUPCL: its last close lowers DTR

    // Queues bytes for the slave side and sends what the line takes now; call flush() when the
    // line can take more.
    void send(const QByteArray& bytes);
    void flush();
    void dropUnsent() { unsent_.clear(); }

  private:
    int master_ = -1;
    QByteArray slavePath_;
    QByteArray unsent_;
};

} // namespace kv::sim
