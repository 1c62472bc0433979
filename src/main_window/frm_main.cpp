#include "main_window/frm_main.h"

#include "error_reporting/call_log.h"
#include "main_window/caption_label.h"
#include "main_window/carrier_lamp.h"
#include "modem_port/clock.h"
#include "modem_port/modem_port.h"

#include <QPushButton>
#include <tuple>

namespace kv {

FrmMain::FrmMain(const Seams& seams)
    : seams_(seams),
      tmrCheckModem_(seams.clock.createTimer(1000, [this] { calls_.tmrCheckModem_Timer(); })),
      Timer1_(seams.clock.createTimer(2000, [this] { calls_.Timer1_Timer(); })),
      Timer2_(seams.clock.createTimer(2000, [this] { calls_.Timer2_Timer(); })),
      number_(*window_.txtPhoneNum), comPort_(*window_.Combo1), form_{number_,
                                                                      comPort_,
                                                                      *window_.lblStatus,
                                                                      *window_.txtReply,
                                                                      *window_.txtModemStatus,
                                                                      *tmrCheckModem_,
                                                                      *Timer1_,
                                                                      *Timer2_},
      programEnd_([this] {
          seams_.clock.stop();
          seams_.port.end();
          window_.close();
          if (seams_.quitApplication) seams_.quitApplication();
      }),
      help_(seams.launcher, seams.box, seams.appDir),
      calls_(form_, seams.port, seams.clock, seams.box, programEnd_, seams.appDir) {
    QObject::connect(window_.buttonConnect, &QPushButton::clicked, [this] {
        qCInfo(callLog) << "Dial clicked";
        calls_.buttonConnect_Click();
    });
    QObject::connect(window_.buttonHangUp, &QPushButton::clicked, [this] {
        qCInfo(callLog) << "Hang Up clicked";
        calls_.buttonHangUp_Click();
    });
    QObject::connect(window_.buttonHelp, &QPushButton::clicked, [this] { buttonHelp_Click(); });
    QObject::connect(window_.buttonQuit, &QPushButton::clicked, [this] { buttonQuit_Click(); });
    QObject::connect(&window_, &MainWindow::closeRequested, [this] { programEnd_.end(); });
    // The call log follows what the window shows; the modem's words as the bytes it read are
    // written, so that no control character from the line reaches the file.
    for (const auto& [label, what, modemWords] :
         {std::tuple<CaptionLabel*, const char*, bool>{window_.lblStatus, "status:", false},
          {window_.txtReply, "reply:", true},
          {window_.txtModemStatus, "lamp:", false}})
        QObject::connect(label, &CaptionLabel::captionChanged, [label, what, modemWords] {
            const QString text = label->shownText();
            qCInfo(callLog).noquote() << what << (modemWords ? visible(text.toLatin1()) : text);
        });
    QObject::connect(&window_, &MainWindow::helpRequested, [this] { help_.showApplicationHelp(); });
    form_load();
}

FrmMain::~FrmMain() = default;

void FrmMain::form_load() {
    help_.registerApplicationHelp();
}

void FrmMain::buttonHelp_Click() {
    help_.buttonHelp_Click();
}

// Unloading the window ends the program; sequences paused beneath this click send nothing more.
void FrmMain::buttonQuit_Click() {
    programEnd_.end();
}

} // namespace kv
