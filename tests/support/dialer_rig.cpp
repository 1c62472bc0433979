#include "dialer_rig.h"

#include "main_window/caption_label.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace kv::test {

DialerRig::DialerRig(const std::function<Clock&(VirtualClock&)>& seamClock, const QString& appDir)
    : port([this] { return clock.now(); }), frm({port, seamClock ? seamClock(clock) : clock, box,
                                                 launcher, appDir, [this] { ++quits; }}) {
    QObject::connect(frm.window().lblStatus, &CaptionLabel::captionChanged,
                     [this](const QString& text) {
                         statuses.append({clock.now(), text});
                     });
}

void DialerRig::enterNumber(const QString& number) {
    window().txtPhoneNum->setText(number);
}

void DialerRig::selectPort(const QString& comboText) {
    window().Combo1->setEditText(comboText);
}

void DialerRig::clickDial() {
    window().buttonConnect->click();
}

void DialerRig::clickHangUp() {
    window().buttonHangUp->click();
}

void DialerRig::dialAt(qint64 when) {
    clock.at(when, [this] { clickDial(); });
}

void DialerRig::hangUpAt(qint64 when) {
    clock.at(when, [this] { clickHangUp(); });
}

QString DialerRig::status() const {
    return frm.window().lblStatus->caption();
}

QString DialerRig::reply() const {
    return frm.window().txtReply->caption();
}

QString DialerRig::lamp() const {
    return frm.window().txtModemStatus->caption();
}

std::uint32_t DialerRig::lampColour() const {
    return frm.window().txtModemStatus->backColor();
}

Wire DialerRig::wire() {
    Wire writes;
    for (const auto& r : modem().received())
        writes.append({r.at, r.bytes});
    return writes;
}

Timeline DialerRig::statusesFrom(qint64 from) const {
    Timeline later;
    for (const auto& s : statuses)
        if (s.first >= from) later.append(s);
    return later;
}

QByteArray DialerRig::wireBytes() {
    QByteArray all;
    for (const auto& w : wire())
        all += w.second;
    return all;
}

} // namespace kv::test
