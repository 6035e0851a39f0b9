// LinePortSim: simulated line units on the eight channels, for the virtual
// exchange, simulated runs and the engine's tests. The units sit on a
// SimHidBus behind a LinePortHid, so finding, binding and dropping follow the
// real port exactly (nothing reaches a unit before bindDevices()).
//
// Every report a unit takes is recorded with its channel, time and decoded
// command. Each line has a hook state that observers follow:
//  - OffHook takes the line off-hook, OnHook puts it on-hook;
//  - a hook-flash is a timed event: FlashStart when the report arrives, the
//    hook down for flashDurationMs(code) (the code × 12 ms), then FlashEnd
//    and the line off-hook. An OffHook or OnHook during a flash ends it
//    early without FlashEnd;
//  - GainOn and GainOff change only the line's gain flag.
//
// Threads: main thread only; the flash end is a scheduler continuation.
#pragma once

#include <QDateTime>
#include <array>
#include <functional>
#include <set>
#include <vector>

#include "common/channel_settings.h"
#include "common/scheduler.h"
#include "dialer/line/hid_bus_sim.h"
#include "dialer/line/line_port_hid.h"

namespace doruzudo {

enum class HookState { OnHook, OffHook, Flashing };

struct SimLineEvent {
  enum class Kind { OffHook, OnHook, FlashStart, FlashEnd, GainOn, GainOff, Unknown };
  Kind kind = Kind::Unknown;
  int channel = 0;
  LineCommand command{};
  int flashMs = 0;  // FlashStart and FlashEnd: how long the hook stays down
};

class LinePortSim final : public LinePort {
 public:
  struct SentReport {
    int channel = 0;
    QDateTime at;
    QString path;                // the unit that took it
    std::vector<uint8_t> bytes;  // as sent, unit's feature-report length
    bool decoded = false;        // false: the bytes are not a line report
    LineCommand command{};
    uint8_t value = 0;
  };
  using Observer = std::function<void(const SimLineEvent&)>;

  // Plugs in one unit for each of `unitChannels` (all eight by default).
  explicit LinePortSim(Scheduler& scheduler,
                       const std::set<int>& unitChannels = {1, 2, 3, 4, 5, 6, 7, 8});
  ~LinePortSim() override;

  Status Hid_Write(int channel, LineCommand command) override;
  void bindDevices() override { port_.bindDevices(); }
  void rebindDevices() override { port_.rebindDevices(); }
  LineUnitStatus unitStatus(int channel) const override { return port_.unitStatus(channel); }
  std::vector<QString> deviceCandidates(int channel) const override;

  // Plugging and unplugging units, fault injection.
  SimHidBus& bus() { return *bus_; }

  const std::vector<SentReport>& reports() const { return reports_; }
  std::vector<SentReport> reportsFor(int channel) const;
  void clearReports() { reports_.clear(); }

  HookState hookState(int channel) const { return line(channel).hook; }
  bool gainOn(int channel) const { return line(channel).gain; }

  // Returns an id for removeObserver.
  int addObserver(Observer observer);
  void removeObserver(int id);

 private:
  struct Line {
    HookState hook = HookState::OnHook;
    bool gain = false;
    uint64_t flashEnd = 0;  // pending continuation, 0 for none
  };

  void received(const HidDeviceInfo& device, std::span<const uint8_t> bytes);
  void apply(int channel, LineCommand command);
  void setHook(int channel, HookState hook);
  void tell(const SimLineEvent& event) const;
  const Line& line(int channel) const;

  Scheduler& scheduler_;
  SimHidBus* bus_;  // owned by port_
  LinePortHid port_;
  std::array<Line, kChannelCount + 1> lines_{};  // [0] for an out-of-range channel
  std::vector<SentReport> reports_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextObserver_ = 0;
};

}  // namespace doruzudo
