// FakeChannelAudio: a channel's sound for the engine's tests. It plays
// nothing: it records every play, keeps each player's playing flag, and
// reports play-done when the test says so (finish()) or, per player, a fixed
// time after each play (setAutoFinish()). The tone decoder's events are sent
// by the test (frequency(), key(), ...).
//
// As the real one does, a stop reports its play-done on a later turn of the
// scheduler, never from inside stop(). A player can be made deaf to stop()
// (a device that hangs) to test the release's time limit.
//
// Threads: main thread only (the scheduler's).
#pragma once

#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <set>
#include <span>
#include <vector>

#include "common/scheduler.h"
#include "dialer/line/channel_audio.h"

namespace doruzudo {

class FakeChannelAudio final : public ChannelAudio {
 public:
  struct Played {
    Player player;
    QString file;
    QDateTime at;  // when the play started
  };

  explicit FakeChannelAudio(Scheduler& scheduler) : scheduler_(scheduler) {}
  ~FakeChannelAudio() override {
    for (uint64_t id : pending_) scheduler_.cancel(id);
  }

  Status play(Player player, const QString& file) override {
    if (failing_.count(file)) return Status::Error(QStringLiteral("cannot play ") + file);
    played_.push_back({player, file, scheduler_.now()});
    start(player);
    return Status::Ok();
  }
  Status playSamples(Player player, std::span<const int16_t>, int) override {
    played_.push_back({player, QStringLiteral("<samples>"), scheduler_.now()});
    start(player);
    return Status::Ok();
  }
  void stop(Player player) override {
    Slot& slot = this->slot(player);
    ++stops_.at(index(player));
    if (!slot.playing || slot.deafToStop) return;
    end(player);
    later(0, [this, player] { tellDone(player); });
  }
  bool playing(Player player) const override { return slots_.at(index(player)).playing; }

  Status startStream() override {
    streaming_ = true;
    return Status::Ok();
  }
  bool streaming() const override { return streaming_; }
  Status startRecording(const QString& file, const RecordFormat&) override {
    if (refuseRecording_) return Status::Error(QStringLiteral("the stream is not running"));
    recordingFile_ = file;
    recording_ = true;
    return Status::Ok();
  }
  Status stopRecording() override {
    recording_ = false;
    return Status::Ok();
  }
  bool recording() const override { return recording_; }

  // --- test controls --------------------------------------------------------
  // Each later play on `player` ends by itself `ms` after it started (-1: only
  // finish() ends it).
  void setAutoFinish(Player player, int ms) { slot(player).autoFinishMs = ms; }
  // Plays of `file` fail.
  void failFile(const QString& file) { failing_.insert(file); }
  // stop() leaves `player` playing.
  void setDeafToStop(Player player, bool deaf) { slot(player).deafToStop = deaf; }
  // The current play of `player` ends now and its play-done is reported.
  void finish(Player player) {
    if (!playing(player)) return;
    end(player);
    tellDone(player);
  }

  void frequency(double hz, int durationMs) {
    if (listener()) listener()->frequencyDetected(hz, 0, durationMs, 0);
  }
  void key(char key) {
    if (listener()) listener()->dtmf(key, 0);
  }
  void silenceStart() {
    if (listener()) listener()->silenceStart(0);
  }
  void silenceEnd() {
    if (listener()) listener()->silenceEnd(0, 0);
  }
  // startRecording() fails (a stream that is not running).
  void refuseRecording(bool refuse) { refuseRecording_ = refuse; }
  // The recording stops by itself (a full disk).
  void dropRecording() { recording_ = false; }
  const QString& recordingFile() const { return recordingFile_; }

  const std::vector<Played>& played() const { return played_; }
  // The files played on `player`, in order.
  std::vector<QString> files(Player player) const {
    std::vector<QString> out;
    for (const Played& p : played_) {
      if (p.player == player) out.push_back(p.file);
    }
    return out;
  }
  int stops(Player player) const { return stops_.at(index(player)); }
  void clearPlayed() { played_.clear(); }

 private:
  struct Slot {
    bool playing = false;
    bool deafToStop = false;
    int autoFinishMs = -1;
    uint64_t autoFinish = 0;  // pending continuation
  };

  static size_t index(Player player) { return static_cast<size_t>(player); }
  Slot& slot(Player player) { return slots_.at(index(player)); }

  void start(Player player) {
    Slot& slot = this->slot(player);
    if (slot.autoFinish) cancelPending(slot.autoFinish);
    slot.autoFinish = 0;
    slot.playing = true;
    if (slot.autoFinishMs >= 0) {
      slot.autoFinish = later(slot.autoFinishMs, [this, player] {
        this->slot(player).autoFinish = 0;
        finish(player);
      });
    }
  }
  void end(Player player) {
    Slot& slot = this->slot(player);
    slot.playing = false;
    if (slot.autoFinish) cancelPending(slot.autoFinish);
    slot.autoFinish = 0;
  }
  void tellDone(Player player) {
    if (listener()) listener()->playDone(player);
  }
  uint64_t later(int ms, std::function<void()> fn) {
    auto id = std::make_shared<uint64_t>(0);
    *id = scheduler_.callLater(ms, [this, id, fn = std::move(fn)] {
      pending_.erase(*id);
      fn();
    });
    pending_.insert(*id);
    return *id;
  }
  void cancelPending(uint64_t id) {
    scheduler_.cancel(id);
    pending_.erase(id);
  }

  Scheduler& scheduler_;
  std::array<Slot, kPlayerCount> slots_{};
  std::array<int, kPlayerCount> stops_{};
  std::vector<Played> played_;
  std::set<QString> failing_;
  std::set<uint64_t> pending_;
  bool streaming_ = false;
  bool recording_ = false;
  bool refuseRecording_ = false;
  QString recordingFile_;
};

}  // namespace doruzudo
