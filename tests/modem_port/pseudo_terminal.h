#pragma once

#include <QByteArray>
#include <QString>

namespace kv::test {

// A pseudo-terminal made for one test: the port under test opens its slave side (the device
// path) and the test plays the modem on the master side.
class PseudoTerminal {
  public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    bool valid() const { return master_ >= 0; }
    QString devicePath() const { return devicePath_; }
    int master() const { return master_; }

    void send(const QByteArray& bytes);
    // Everything the line holds for the modem: waits up to `firstByteMs` for the first byte,
    // then takes what is there without waiting further.
    QByteArray received(int firstByteMs = 2000);
    // The far end goes away, as a modem simulator that ends.
    void hangUp();

  private:
    int master_ = -1;
    QString devicePath_;
};

} // namespace kv::test
