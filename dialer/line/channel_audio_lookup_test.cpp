// The start-up lookup of the channels' sound devices, in virtual time.
#include "dialer/line/channel_audio_lookup.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include "common/event_log.h"
#include "common/manual_scheduler.h"
#include "dialer/line/channel_audio_sim.h"

namespace doruzudo {
namespace {

class Lookup : public ::testing::Test {
 protected:
  Lookup() {
    for (int n = 1; n <= kChannelCount; ++n) {
      // Each simulated card answers to the name the lookup derives for it.
      audio[size_t(n - 1)] = std::make_unique<ChannelAudioSim>(clock, deviceNames[size_t(n - 1)]);
      pointers[size_t(n - 1)] = audio[size_t(n - 1)].get();
    }
  }
  // Runs the lookup over `names` with naming rule `osKind`; returns the
  // result and when it came.
  std::pair<bool, int64_t> run(const QStringList& names, int osKind = 5) {
    SimSoundDevices devices(names);
    ChannelAudioLookup lookup(clock, log, devices, pointers, labels(), osKind);
    std::optional<bool> result;
    const int64_t start = clock.elapsedMs();
    int64_t at = -1;
    lookup.AcessaCanal([&](bool any) {
      result = any;
      at = clock.elapsedMs() - start;
    });
    clock.advance(20000);
    EXPECT_TRUE(result.has_value());
    return {result.value_or(false), at};
  }
  ChannelAudioLookup::Labels labels() {
    return {[this](int n, const QString& t) { channelLabels[n] = t; },
            [this](int n, const QString& t) { statusLabels[n] = t; }};
  }
  bool opened(int n) const { return audio[size_t(n - 1)]->streaming(); }
  bool logged(const QString& text) const { return log.lines().filter(text).size() == 1; }

  ManualScheduler clock;
  EventLog log{clock};
  std::array<QString, kChannelCount> deviceNames{
      "MD01", "MD02", "Microfone (MD03)", "MD04", "MD05", "MD06", "MD07", "MD08"};
  std::array<std::unique_ptr<ChannelAudioSim>, kChannelCount> audio;
  std::array<ChannelAudioCore*, kChannelCount> pointers{};
  std::map<int, QString> channelLabels, statusLabels;
};

TEST_F(Lookup, DeviceNamesServeTheirChannels) {
  struct Case {
    QString name;
    int osKind, channel;
    QString output;
  } cases[] = {
      {"Microfone (MD03)", 5, 3, "Alto-falantes (MD03)"},
      {"Microfone (2- MD03)", 5, 3, "Alto-falantes (2- MD03)"},
      {"Microfone (MD03)", 4, 0, "Microfone (MD03)"},
      {"MD03", 4, 3, "MD03"},
      {"MD01", 5, 1, "MD01"},
      {"MD09", 5, 0, "MD09"},
      {"MD0", 5, 0, "MD0"},
      {"USB Audio: - (hw:1,0)", 5, 0, "USB Audio: - (hw:1,0)"},
      {"", 5, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name.toStdString());
    EXPECT_EQ(channelOfInputDevice(c.name, c.osKind), c.channel);
    EXPECT_EQ(outputDeviceFor(c.name, c.osKind), c.output);
  }
}

TEST_F(Lookup, OpensEachChannelFoundWithItsWaitsAndLines) {
  const auto [any, ms] = run({"pulse", "Microfone (MD03)", "MD01", "MD09"});
  EXPECT_TRUE(any);
  EXPECT_TRUE(opened(1));
  EXPECT_TRUE(opened(3));
  EXPECT_FALSE(opened(2));
  EXPECT_EQ(audio[2]->outputDevice(), "Alto-falantes (MD03)");
  EXPECT_EQ(ms, 4 * 500 + 2 * 300);
  EXPECT_TRUE(logged("Canal 3 inicializado com sucesso."));
  EXPECT_TRUE(logged("Canal 1 inicializado com sucesso."));
  EXPECT_LT(log.lines().indexOf(QRegularExpression(".*Canal 3 inicializado.*")),
            log.lines().indexOf(QRegularExpression(".*Canal 1 inicializado.*")));
  EXPECT_EQ(statusLabels[1], "Aguardando");
  EXPECT_EQ(statusLabels[3], "Aguardando");
  EXPECT_FALSE(statusLabels.count(2));
}

TEST_F(Lookup, WithoutDevicesNothingIsFound) {
  EXPECT_EQ(run({}), std::make_pair(false, int64_t(0)));
  EXPECT_EQ(run({"default", "MD09"}), std::make_pair(false, int64_t(1000)));
  EXPECT_EQ(run({"Microfone (MD03)"}, 4).first, false);
  EXPECT_TRUE(log.lines().isEmpty());
}

// A device that refuses its settings still counts as found; a stream that
// does not start ends that channel's opening without the 300 ms wait.
TEST_F(Lookup, FailuresAreLoggedAndTheLookupGoesOn) {
  audio[1]->failOpen(true);
  audio[3]->failStart(true);
  const auto [any, ms] = run({"MD02", "MD04", "MD05"});
  EXPECT_TRUE(any);
  EXPECT_EQ(channelLabels[2], "Erro no Canal");
  EXPECT_TRUE(logged(QString::fromUtf8("Erro ao iniciar monitoração do Canal 2")));
  EXPECT_TRUE(logged("Erro ao iniciar stream do canal 2"));
  EXPECT_TRUE(logged("Erro no stream do canal 2"));
  EXPECT_TRUE(logged("Erro ao iniciar stream do canal 4"));
  EXPECT_TRUE(logged("Erro no stream do canal 4"));
  EXPECT_FALSE(log.lines().filter("Canal 4 inicializado").size());
  EXPECT_TRUE(opened(5));
  EXPECT_EQ(ms, 3 * 500 + 300);
  EXPECT_EQ(statusLabels[2], "Aguardando");
}

}  // namespace
}  // namespace doruzudo
