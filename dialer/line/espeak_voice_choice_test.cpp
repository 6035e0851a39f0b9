#include "dialer/line/espeak_voice_choice.h"

#include <gtest/gtest.h>

#include "common/manual_scheduler.h"
#include "common/settings_store.h"
#include "dialer/line/espeak_voice.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

class NoOutput final : public SpeechOutput {
 public:
  Status play(std::span<const int16_t>, int, std::function<void()>) override {
    return Status::Error(QStringLiteral("none"));
  }
  void stop() override {}
};

TEST(VoiceList, BrazilianPortugueseComesFirst) {
  const std::vector<VoiceEntry> entries =
      voiceEntries({QStringLiteral("af"), QStringLiteral("en-us"), QStringLiteral("pt"),
                    QStringLiteral("PT-BR"), QStringLiteral("de")});
  QStringList order;
  for (const VoiceEntry& e : entries) order << e.voice;
  EXPECT_EQ(order, (QStringList{QStringLiteral("PT-BR"), QStringLiteral("pt"), QStringLiteral("af"),
                                QStringLiteral("en-us"), QStringLiteral("de")}));
  EXPECT_EQ(entries[0].description, QStringLiteral("PT-BR"));
}

class VoiceChoiceTest : public ::testing::Test {
 protected:
  std::optional<QString> storedToken() {
    std::optional<SettingsKey> key = store->openKey(kDefaultVoiceKey);
    if (!key) return std::nullopt;
    return key->readString(kDefaultVoiceValue);
  }

  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  ManualScheduler scheduler;
  NoOutput output;
  EspeakVoice a{scheduler, output}, b{scheduler, output};
  std::vector<EspeakVoice*> voices{&a, nullptr, &b};
};

TEST_F(VoiceChoiceTest, TheThreeNamedVoicesBecomeTheDefaultVoice) {
  const struct {
    const char* description;
    const char* token;
  } cases[] = {
      {"Microsoft Sam", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\MSSam"},
      {"ScanSoft Jennifer_Full_22kHz",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\ScanSoftJennifer_Full_"
       "22kHz"},
      {"ScanSoft Raquel_Full_22kHz",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\ScanSoftRaquel_Full_"
       "22kHz"},
  };
  for (const auto& c : cases) {
    chooseVoice(store.get(), {QString::fromLatin1(c.description), QStringLiteral("en-us")}, voices);
    EXPECT_EQ(storedToken(), QString::fromLatin1(c.token)) << c.description;
    EXPECT_EQ(a.voiceName(), QStringLiteral("en-us"));
    EXPECT_EQ(b.voiceName(), QStringLiteral("en-us"));
  }
  EXPECT_TRUE(
      store->keyExists(QStringLiteral("hkey_current_user\\software\\microsoft\\speech\\voices\\")));
}

TEST_F(VoiceChoiceTest, AnyOtherVoiceChangesTheVoicesOnly) {
  chooseVoice(store.get(), {QStringLiteral("pt-br"), QStringLiteral("pt-br")}, voices);
  chooseVoice(store.get(), {QStringLiteral("Microsoft Sam 2"), QStringLiteral("en-us")}, voices);
  EXPECT_FALSE(store->keyExists(kDefaultVoiceKey));
  EXPECT_EQ(a.voiceName(), QStringLiteral("en-us"));
  EXPECT_EQ(b.voiceName(), QStringLiteral("en-us"));
  chooseVoice(nullptr, {QStringLiteral("Microsoft Sam"), QStringLiteral("pt")}, voices);
  EXPECT_EQ(a.voiceName(), QStringLiteral("pt"));
}

TEST(SpeechOutputs, WhichChannelOrTheTestVoiceAnOutputServes) {
  const struct {
    const char* description;
    int osKind;
    int channel;
    bool testVoice;
  } cases[] = {
      {"Alto-falantes (MD04)", 5, 4, false},
      {"Alto-falantes (2- MD08)", 5, 8, false},
      {"Alto-falantes (Realtek High Definition Audio)", 5, 0, true},
      {"Alto-falantes", 5, 0, true},
      {"Fones de ouvido (MD02)", 5, 2, false},
      {"Fones de ouvido (USB Audio)", 5, 0, false},
      {"MD03", 4, 3, false},
      {"Alto-falantes (MD03)", 4, 0, false},
      {"MD09", 5, 0, false},
  };
  for (const auto& c : cases) {
    const QString d = QString::fromUtf8(c.description);
    EXPECT_EQ(channelOfSpeechOutput(d, c.osKind), c.channel) << c.description;
    if (c.osKind == 5) EXPECT_EQ(isTestVoiceOutput(d), c.testVoice) << c.description;
  }
}

}  // namespace
}  // namespace doruzudo
