#pragma once

#include <QString>
#include <cstdint>

namespace kv::texts {

inline const QString Title = QStringLiteral("Talvo Dialer");
inline const QString CrLf = QStringLiteral("\r\n");

inline const QString MissingNumber = QStringLiteral(
    "No phone number entered.  Press OK button, then enter a phone number and then press DIAL "
    "button");

inline const QString InvalidPort = QStringLiteral("You have selected an invalid COM port number. "
                                                  "Select a valid COM port number and try again") +
                                   CrLf + CrLf;

// Port in use, as Dial says it (A), as Hang Up and the escape stage say it (B), and as the
// hang-up command stage says it (C).
inline const QString PortInUseA =
    QStringLiteral("The COM port you have selected to connect to your modem is being used by "
                   "another program.  Close that other program and try again.  Also verify "
                   "that you have selected the correct COM port.") +
    CrLf + CrLf;

inline const QString PortInUseHead =
    QStringLiteral("The COM port you have selected to connect to your modem") + CrLf +
    QStringLiteral("is being used by another program such as Ampliview.  Verify that the COM port "
                   "you have selected is indeed") +
    CrLf;

inline const QString PortInUseB =
    PortInUseHead +
    QStringLiteral("the port with your modem.  If so, close the other program (such as Ampliview) "
                   "and retry dialing.") +
    CrLf + CrLf;

inline const QString PortInUseC =
    PortInUseHead +
    QStringLiteral(
        "the port with your modem.  If so, close the other program (such as Ampliview)") +
    CrLf + QStringLiteral("and retry dialing.") + CrLf + CrLf;

inline QString unexpectedError(std::int32_t number, const QString& routinePiece) {
    return QStringLiteral("Unexpected error ") + QString::number(number) + routinePiece + CrLf +
           CrLf + QStringLiteral("Note error number and situation and contact Kestrel-Downe") +
           CrLf + CrLf + QStringLiteral("Do you wish to continue running this program?");
}

} // namespace kv::texts
