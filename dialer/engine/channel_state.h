// ChannelState: the run-time record of one channel's call, the status words
// kept in it and the texts of the channel's status label.
//
// A channel's handlers test the status words literally: tone events are
// ignored while Status is "AGUARDANDO" or "REPRODUZINDO"; "Aguardando" (mixed
// case) is a different word, set for the 600 ms between a dial that never
// completed and the release.
//
// Threads: plain values, owned by one Channel on the main thread.
#pragma once

#include <QString>
#include <array>
#include <cstdint>

namespace doruzudo {

namespace status {
inline const QString kWaiting = QStringLiteral("AGUARDANDO");
inline const QString kDialing = QStringLiteral("DISCANDO");
inline const QString kAwaitRingback = QStringLiteral("WAIT_TCC");
inline const QString kRinging = QStringLiteral("CHAMANDO");
inline const QString kPlaying = QStringLiteral("REPRODUZINDO");
inline const QString kRecording = QStringLiteral("GRAVANDO");
// Set by the dial-completion failure until the release.
inline const QString kWaitingMixed = QStringLiteral("Aguardando");
}  // namespace status

// The texts of the status label (lbStatusC<n>).
namespace label {
inline const QString kIdle = QStringLiteral("Desligado");  // before the first change
inline const QString kPause = QStringLiteral("Pause");
inline const QString kFinished = QStringLiteral("Finalizado");
inline const QString kDialing = QStringLiteral("Discando");
inline const QString kCalling = QStringLiteral("Chamando");
inline const QString kNoAnswer = QStringLiteral("Não Atende");
inline const QString kBusy = QStringLiteral("Ocupado");
inline const QString kPlaying = QStringLiteral("Reproduzindo");
inline const QString kRecording = QStringLiteral("Gravando");
inline const QString kRegistering = QStringLiteral("Registrando");
inline const QString kTransferring = QStringLiteral("Transferindo");
inline const QString kWaiting = QStringLiteral("Aguardando");
}  // namespace label

// The call modes (ChannelSettings::Trans): what the answered call does
// after its message. Two of them carry the channel number.
namespace mode {
inline const QString kTransfer = QStringLiteral("SIM");          // transfer to Ramal
inline const QString kHangUp = QStringLiteral("NÃO");            // hang up
inline const QString kRecord = QStringLiteral("Disque Opnião");  // record the party
inline const QString kContact = QStringLiteral("Contato");       // option keys 1 and 2
inline const QString kSurvey = QStringLiteral("PesqOpniao");     // option keys 1 to 3
// Transfer on key 9, else hang up: "NoveC<n>".
inline QString nine(int channel) {
  return QStringLiteral("NoveC") + QString::number(channel);
}
// Transfer unless the time lies in a transfer-block window: "ConsBloqueioC<n>".
inline QString blockCheck(int channel) {
  return QStringLiteral("ConsBloqueioC") + QString::number(channel);
}
}  // namespace mode

struct ChannelState {
  QString Status = status::kWaiting;
  int64_t RowCode = 0;  // código of the telefones row being worked
  QString DialNumber;   // Operadora + Telefone
  QString SavedNumber;  // DialNumber kept for the recording row; cleared at release
  int DialLength = 0;
  int DigitsLeft = 0;  // number digits still to play (extension digits in a transfer)
  int DigitPos = 0;    // 1-based position in DialNumber of the digit playing
  // Digits are being dialed: ringback, voice and keys wait while it is set.
  // True from the start, so nothing is heard before the first number.
  bool Dialing = true;
  bool PrefixDialing = false;  // the line prefix is being played (until tGetLinha fires)
  bool PrefixSecond = false;   // the prefix's second digit is still due
  bool PrefixThird = false;    // a third (or later) prefix digit is still due
  bool Settling = false;       // the second after OffHook
  int RingCount = 0;
  int BusyCount = 0;
  bool Answered = false;
  bool Speaking = false;             // the message is playing; keys are ignored
  bool Recording = false;            // the called party is being recorded
  bool Idle = false;                 // set at every release, cleared at an answer
  std::array<QString, 4> ExtDigits;  // Ramal, one character each
  int64_t RecordingId = 0;           // registro id of the running recording
};

}  // namespace doruzudo
