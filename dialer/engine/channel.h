// Channel: the call engine of one telephone line. The dialer runs eight
// instances, numbered 1 to 8, which differ only by their row of
// ChannelTraits (channel_traits.h).
//
// A channel is driven by its fifteen timers (named "tCallC<n>" and so on,
// created through the scheduler, all disabled at first) and by the events of
// its ChannelAudio (play-done of its players, tone decoder events) and its
// Voice (end of speech). Each handler bears the name of the timer or event
// it serves and runs to completion.
//
// Timer            interval                      started by
//   tCall          5500 ms (channel 2: 6000)     start, a dialing step that does not dial, release
//   tTemporiza     1000 ms                       the dialing step, right after OffHook
//   tGetLinha      1000 ms (channel 1: 1500)     the line prefix
//   tDisca         2000 ms                       no prefix, or tGetLinha
//   tComuta        60000 ms                      play-done of the last digit
//   tSilencio      10000 ms                      ringback bursts
//   tTcc           5500 ms                       ringback bursts (never on channels 2 to 4)
//   tAudio         500 ms                        end of ringback, voice
//   TimeOut        4000 ms (channel 2: 1000 until its first firing)  message end
//   tZero          500 ms                        key 0
//   tTrans         Flash + 3000 ms (design 250)  transfer
//   tDesliga       600 ms (50 or 2000 ms before some starts)  every path that ends a call
//   tSilence       10000 ms                      silence while recording
//   tTempoMax      60000 ms                      recording start
//   tSendEmail     350 ms                        a notice request
// The release (tDesligaTimer) stops every timer of the channel but tCall and
// starts tCall.
//
// The dialing step (tCallTimer), in order: pause; the list (a new pass
// when every row of the campaign was dialed, leaving taken the numbers other
// channels are dialing now; "Finalizado" when the campaign has no row; a
// database failure, or a list whose numbers are all in calls on other
// channels, only puts the step off to the next tick); the date window; the
// three blocked periods; the claim of the next number (one statement: the
// first free row is marked dialed and returned, so two channels or two
// dialers on one database never take the same row); the attempt limit (a
// row that used its attempts moves to the campaign's result table; a
// Tentativa that is no whole number sets no limit); the attempt counted;
// OffHook; one second of settling (a continuation: tTemporiza resumes the
// step, everything else keeps running meanwhile, and this channel's tone
// events meet Status "AGUARDANDO"); then the digits.
//
// Line prefix: its digits are played one after the other on the digit
// player, each at the play-done of the one before, whatever their number
// (PrefixSecond and PrefixThird tell which is due: the second, the third or
// a later one). tGetLinha starts when the last prefix digit starts, so every
// prefix is followed by the same pause as a one-digit prefix: tGetLinha, then
// tDisca's 2000 ms. The number's digits follow one another as fast as their
// files play, each started by the play-done of the one before; after the
// last one tComuta waits for call progress and GainOn goes to the line when
// Ganho is "SIM". A digit file that cannot be played is logged and the call
// released (tDesliga); the channel then stops, as after a pause, until
// "Inicia Discagem", instead of spending its list's attempts on calls it
// cannot dial.
//
// Call progress (channel_progress.cpp) classes the tone decoder's bursts:
// ringback, short ringback, voice and busy, each by inclusive frequency and
// duration bounds; tTcc, tSilencio, tComuta and tAudio supervise them and
// the outcome goes to the number's row. tAudio answers: the message starts
// (spoken or played); a message that cannot start is logged and the call
// released. The answer stops tTcc too, so a call is never answered twice.
//
// The answered call (channel_script.cpp): the message end moves the row to
// the campaign's result table and TimeOut waits for keys; the call mode then
// records, transfers or hangs up. Key 0 repeats the message only while the
// wait lasts (before the mode's action); a repeat that cannot play is logged
// and the wait goes on. An option answer that cannot be stored is logged and
// the call ends as it would have. A message end outside an answered call
// (a speech the release cut short) only clears Speaking.
//
// Transfer (channel_transfer.cpp) and party recording
// (channel_recording.cpp): every path ends in the release, also when the
// recording does not start (released 50 ms later), when its row cannot be
// completed, or when the device dropped it (tTempoMax still ends it).
//
// The release waits for the message and reply players to stop after telling
// them to, at most 5 s (a continuation; past 5 s it logs and goes on), then
// stops the timers, puts the line on-hook and starts tCall. The play-done
// that a stopped player then reports is not taken for the end of a message.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "common/call_database.h"
#include "common/channel_settings.h"
#include "common/scheduler.h"
#include "dialer/engine/channel_state.h"
#include "dialer/engine/channel_traits.h"
#include "dialer/engine/engine_environment.h"
#include "dialer/line/call_recorder.h"
#include "dialer/line/channel_audio.h"
#include "dialer/line/line_report.h"

namespace doruzudo {

class Engine;

class Channel final : private ChannelAudio::Listener {
 public:
  // The fifteen timers, in the order the release lists them after tCall.
  enum TimerId {
    tCall,
    tDisca,
    TimeOut,
    tTrans,
    tZero,
    tGetLinha,
    tTemporiza,
    tSilencio,
    tComuta,
    tSendEmail,
    tAudio,
    tTcc,
    tSilence,
    tTempoMax,
    tDesliga,
    kTimerCount
  };

  // The longest the release waits for a player to stop.
  static constexpr int kPlayerStopLimitMs = 5000;
  // How often the release looks again whether the players stopped.
  static constexpr int kPlayerStopPollMs = 20;

  Channel(int number, const EngineEnvironment& env, Engine& engine);
  ~Channel() override;
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  int number() const { return number_; }
  const ChannelTraits& traits() const { return traits_; }
  ChannelState& state() { return state_; }
  const ChannelState& state() const { return state_; }
  const ChannelSettings& settings() const { return env_.channelSettings(number_); }
  Timer& timer(TimerId id) { return *timers_.at(id); }
  const Timer& timer(TimerId id) const { return *timers_.at(id); }

  // From seizing the line (OffHook) to the end of the release.
  bool inCall() const { return inCall_; }
  // Neither in a call nor waiting for its next dialing step: paused, list
  // finished, stopped by a failure, or never started.
  bool stopped() const { return !inCall_ && !timer(tCall).enabled(); }
  // Start-up and "Inicia Discagem": tCall on, unless a call is in progress
  // (its release starts tCall).
  void startDialing();
  // The program ends: every timer and pending continuation stops, the
  // channel hears no more events of its audio and voice; nothing is sent to
  // the line.
  void shutdown();
  // Asks for a notice of `kind` (MailPort::Kind) through this channel's
  // tSendEmail; a later request before it fires replaces this one.
  void requestMail(int kind);
  int pendingMailKind() const { return mailKind_; }

  // --- timers ---------------------------------------------------------
  void tCallTimer();       // one dialing step
  void tTemporizaTimer();  // end of the settling second: the dialing step goes on
  void tGetLinhaTimer();   // end of the pause after the line prefix
  void tDiscaTimer();      // the number's first digit
  void tComutaTimer();     // no ringback 60 s after the last digit
  void tSilencioTimer();
  void tTccTimer();
  void tAudioTimer();
  void TimeOutTimer();
  void tZeroTimer();
  void tTransTimer();
  void tDesligaTimer();  // the release
  void tSilenceTimer();
  void tTempoMaxTimer();
  void tSendEmailTimer();  // sends the requested notice

  // --- component events -------------------------------------------------
  void PlayDigitoPlayDone();  // a dial digit finished: the next one, or done
  void PlayPlayDone();        // the message file finished
  void PlayRamalPlayDone();   // an extension digit finished
  void RepAudioPlayDone();    // a confirmation or the announcement finished
  void SpVoiceEndStream();    // the spoken message ended
  void tCanalDTMF(int key);
  void tCanalFrequencyDetected(double frequency, int durationMs);
  void tCanalSilenceStart();
  void tCanalSilenceEnd();

 private:
  enum class ListState { HasRows, Finished, Failed, AllInCall };

  // ChannelAudio::Listener: routes each event to its handler.
  void playDone(Player player) override;
  void dtmf(int key, int64_t position) override;
  void frequencyDetected(double frequency, double secondFrequency, int durationMs,
                         int64_t startPosition) override;
  void silenceStart(int64_t position) override;
  void silenceEnd(int64_t position, int durationMs) override;

  // Dialing step parts (channel_dialing.cpp).
  ListState checkList();
  void listFinished();
  bool blockedByDateOrPeriod(const QDateTime& now, const QTime& timeOfDay);
  std::optional<PhoneRow> claimNumber();
  bool moveIfOverLimit(const PhoneRow& row);
  bool lineUnitGone();
  void countAttempt(const PhoneRow& row, const QDateTime& now, const QTime& timeOfDay);
  void seize();
  void startNumber();
  void playPrefixDigit();
  void numberComplete();
  bool playDigit(QChar digit);

  // Call progress parts (channel_progress.cpp).
  bool ringBurst();  // true when it abandons the call (no answer)
  void busyBurst();
  // Stores `result` as the Status of the number's row; false when it failed.
  bool storeResult(const QString& result);
  // Starts the message: the text spoken, or the audio file played.
  Status startMessage();
  bool spokenMessage() const { return settings().TextoHab == QStringLiteral("SIM"); }

  // Answered-call script parts (channel_script.cpp).
  void messageEnded(bool spoken);
  void startWait();  // TimeOut, with the wait of the mode
  void endWait();    // TimeOut back to 4000 ms and off, no repeat pending
  void moveRow();
  bool messagePlaying() const;
  int optionOf(int key) const;
  void registerOption(int option);
  void key9();
  void key0();
  void repeatSpoken(const QString& error);
  bool repeatFile(const QString& error);
  void hangUp();
  void announceAndTransfer();
  QString announcementFile() const;

  // Transfer parts (channel_transfer.cpp).
  void flashAndTransfer(int extraMs);
  void playExtensionDigit();

  // Party recording parts (channel_recording.cpp).
  void startRecording();
  void recordingBusyBurst();
  void endRecording();
  void FinalizaC();  // completes the recording's registro row
  QString recordingLabel() const;  // "CANAL n"

  // Release parts (channel_release.cpp).
  void waitForPlayers();
  void finishRelease();
  void endCallScript();
  void cancelPending();  // the continuations: the release's wait, a repeat, a Stop

  ChannelAudio& audio() const { return *env_.audio.at(number_ - 1); }
  Voice* voice() const { return env_.voice.at(number_ - 1); }
  // Every play of the channel goes through here: a new play's end counts
  // even if the release stopped the player's previous play.
  Status playOn(Player player, const QString& file);
  void log(const QString& message) const;
  void setLabel(const QString& text) const;
  void lineCommand(LineCommand command) const;
  bool ganho() const { return settings().Ganho == QStringLiteral("SIM"); }

  const int number_;
  const ChannelTraits& traits_;
  const EngineEnvironment& env_;
  Engine& engine_;
  ChannelState state_;
  std::array<std::unique_ptr<Timer>, kTimerCount> timers_;

  bool inCall_ = false;
  bool unitGoneLogged_ = false;  // the unplugged unit was logged
  bool lineSilent_ = false;      // the line is silent now (silence start without its end)
  // How the call's recording started (its file and start, for a row inserted
  // late when the one at its start failed).
  CallRecorder::Started recordingStarted_;
  bool resumeAfterSettling_ = false;  // tTemporiza resumes the dialing step
  bool stopAfterRelease_ = false;     // the release does not start tCall
  QString prefix_;                    // the line prefix of the number being dialed
  int prefixPos_ = 0;                 // prefix digits started so far
  int mailKind_ = 0;                  // the notice tSendEmail will send
  // The wait for keys after the message has ended in an action (the mode's,
  // an option's or key 9's): key 0 no longer repeats the message.
  bool waitEnded_ = false;
  uint64_t repeatPause_ = 0;      // the pause before a spoken repeat, when pending
  bool transferDialing_ = false;  // the extension's digits are being played
  QString extension_;             // the extension being dialed
  uint64_t recordingStop_ = 0;    // the recorder's Stop, when pending
  // The release: the wait for the players, when one is pending.
  uint64_t releaseWait_ = 0;
  int releaseWaitedMs_ = 0;
  std::array<bool, kPlayerCount> stopSent_{};        // told to stop by this release
  std::array<bool, kPlayerCount> ignorePlayDone_{};  // the play-done of that stop is due
};

}  // namespace doruzudo
