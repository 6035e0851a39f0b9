// ChannelTraits: everything in which the eight channels differ, as one table.
// The channels run one class; each instance reads its row here instead of
// carrying its own copy of the code.
//
//   channel 1       tGetLinha waits 1500 ms (1000 ms elsewhere); the first
//                   blocked period's message reads "Discagem Fora do horário
//                   permitido." (every other case: "Dicagem ...")
//   channel 2       tCall every 6000 ms (5500 ms elsewhere); TimeOut starts at
//                   1000 ms (4000 ms elsewhere); its delayed-repeat error reads
//                   "Erro ao reproduzir audio no Canal2."
//   channels 2 to 7 each dialing step first logs "Formata numeros c<n> ligado"
//   channel 8       a one-digit line prefix logs "Qtde de digitos para pegar
//                   linha em C8 = 1"
//   channels 2 to 4 never start tTcc (ringback that stops without a voice
//                   ends as a call failure, not as an answer)
//   channels 5 to 8 after key 9 TimeOut keeps running while the announcement
//                   plays; without one, tTrans gets Flash + 2000 ms (+ 3000 ms
//                   on channels 1 to 4)
//
// Threads: constant data; any thread.
#pragma once

#include <QString>

namespace doruzudo {

struct ChannelTraits {
  int channel = 0;                         // 1..8
  int callMs = 5500;                       // tCall: design interval and reset at every firing
  int timeOutDesignMs = 4000;              // TimeOut until its first firing
  int getLinhaMs = 1000;                   // tGetLinha: the pause after the line prefix
  bool logsFormata = false;                // "Formata numeros c<n> ligado" at every dialing step
  bool logsPrefixCount = false;            // "Qtde de digitos para pegar linha em C<n> = 1"
  bool startsTcc = true;                   // ringback restarts tTcc (end of ringback = answer)
  bool key9StopsTimeOut = true;            // key 9 stops TimeOut before the announcement
  int key9FlashExtraMs = 3000;             // tTrans after key 9 without announcement: Flash + this
  bool firstPeriodMessageCorrect = false;  // "Discagem" (true) or "Dicagem" (false)
  bool compactRepeatError = false;         // "...no Canal2." without a blank

  // "Discagem Fora do horário permitido." or "Dicagem Fora do horário
  // permitido." for blocked period `period` (1..3).
  QString blockedPeriodMessage(int period) const;
  // The log line of a failed delayed repeat of the message.
  QString delayedRepeatError() const;
};

// The row of channel `channel` (1..8).
const ChannelTraits& channelTraits(int channel);

}  // namespace doruzudo
