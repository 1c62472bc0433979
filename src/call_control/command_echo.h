#pragma once

#include <QString>

namespace kv {

// A modem with command echo on repeats each byte of a command as it takes it, so "ATDT" and the
// number come back before any result, in as many pieces as the reads happen to cut. This takes
// that echo out of what is read, so that only the modem's own words are left to look at. With
// echo off nothing matches and everything passes.
class CommandEcho {
  public:
    // The command as it went on the wire, without its CR (replies are read with line breaks
    // removed).
    explicit CommandEcho(const QString& command) : echo_(command) {}

    // `text` less whatever continues the echo. Characters that might still begin the echo are
    // held back until the next piece shows whether they do; if they don't, they are let through.
    QString strip(const QString& text);

  private:
    QString echo_;
    QString held_;
    bool done_ = false;
};

} // namespace kv
