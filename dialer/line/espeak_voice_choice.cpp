#include "dialer/line/espeak_voice_choice.h"

#include <algorithm>

#include "common/settings_store.h"
#include "dialer/line/espeak_voice.h"
#include "dialer/line/sound_device.h"
#include "dialer/line/speech_synth.h"

namespace doruzudo {

const QString kDefaultVoiceKey =
    QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Speech\\Voices");
const QString kDefaultVoiceValue = QStringLiteral("DefaultTokenId");

namespace {

constexpr const char* kTokenRoot =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Speech\\Voices\\Tokens\\";

struct NamedVoice {
  const char* description;
  const char* token;
};

constexpr NamedVoice kNamedVoices[] = {
    {"Microsoft Sam", "MSSam"},
    {"ScanSoft Jennifer_Full_22kHz", "ScanSoftJennifer_Full_22kHz"},
    {"ScanSoft Raquel_Full_22kHz", "ScanSoftRaquel_Full_22kHz"},
};

int rank(const QString& voice) {
  if (voice.compare(QLatin1String("pt-br"), Qt::CaseInsensitive) == 0) return 0;
  if (voice.compare(QLatin1String("pt"), Qt::CaseInsensitive) == 0) return 1;
  return 2;
}

}  // namespace

std::vector<VoiceEntry> voiceEntries(const QStringList& voices) {
  std::vector<VoiceEntry> entries;
  for (const QString& voice : voices) entries.push_back({voice, voice});
  std::stable_sort(entries.begin(), entries.end(), [](const VoiceEntry& a, const VoiceEntry& b) {
    return rank(a.voice) < rank(b.voice);
  });
  return entries;
}

std::vector<VoiceEntry> installedVoices() {
  if (!speechDataInstalled()) return {};
  return voiceEntries(speechVoices());
}

QString defaultVoiceToken(const QString& description) {
  for (const NamedVoice& v : kNamedVoices) {
    if (description == QLatin1String(v.description))
      return QLatin1String(kTokenRoot) + QLatin1String(v.token);
  }
  return {};
}

void chooseVoice(SettingsStore* store, const VoiceEntry& entry,
                 std::span<EspeakVoice* const> voices) {
  const QString token = defaultVoiceToken(entry.description);
  if (store && !token.isEmpty()) writeSetting(*store, kDefaultVoiceKey, kDefaultVoiceValue, token);
  for (EspeakVoice* voice : voices) {
    if (voice) voice->setVoiceName(entry.voice);
  }
}

int channelOfSpeechOutput(const QString& description, int osKind) {
  return channelOfInputDevice(description, osKind);
}

bool isTestVoiceOutput(const QString& description) {
  constexpr int kModernNaming = 5;
  return description.split(u' ').first() == QLatin1String("Alto-falantes") &&
         channelOfSpeechOutput(description, kModernNaming) == 0;
}

}  // namespace doruzudo
