// The voice list and the voice choice of the speech options.
//
// The list holds espeak-ng's voices by their language ("pt-br", "en-us",
// ...), each entry's description and voice being that name. The product
// speaks Brazilian Portuguese, and the start-up picks the list's first entry
// for every voice, so "pt-br" comes first (then "pt", then the others in
// espeak-ng's order), rather than whatever espeak-ng lists first.
//
// The choice: three voice descriptions known from the older desktop voices
// are also made the user's default voice, by writing "DefaultTokenId" under
// kDefaultVoiceKey in the settings store with the editor write protocol;
// any other choice writes nothing. Then the chosen voice goes to every voice.
//
// The outputs: a channel's voice always speaks into its own line, so the
// output list only decides, for the window, which output serves which
// channel and which one the test voice takes (the PC's own speakers).
//
// Thread-safety: main thread only (speechVoices() takes the synthesis lock).
#pragma once

#include <QString>
#include <QStringList>
#include <span>
#include <vector>

namespace doruzudo {

class EspeakVoice;
class SettingsStore;

struct VoiceEntry {
  QString description;
  QString voice;  // espeak-ng's name
};

// The key and value of the user's default voice.
extern const QString kDefaultVoiceKey;
extern const QString kDefaultVoiceValue;

// The entries for espeak-ng voice names, in the order described above.
std::vector<VoiceEntry> voiceEntries(const QStringList& voices);
// The entries of the installed voices (empty when espeak-ng cannot start).
std::vector<VoiceEntry> installedVoices();

// The default-voice token written for `description`, or an empty text when
// the description is none of the three.
QString defaultVoiceToken(const QString& description);

// Runs the choice of `entry`: the token write (when `store` is given), then
// the voice for each of `voices` (null entries are skipped). Throws
// SettingsError when the store refuses the write; the voices then stay as
// they were.
void chooseVoice(SettingsStore* store, const VoiceEntry& entry,
                 std::span<EspeakVoice* const> voices);

// The channel (1..8) whose line an output described so is, or 0: with the
// modern naming (osKind 5) the description's last word without "(" and ")",
// otherwise the whole description, must be "MD01" .. "MD08".
int channelOfSpeechOutput(const QString& description, int osKind);
// Whether an output (modern naming) is the PC's own speakers, for the test
// voice: its first word is "Alto-falantes" and it is no channel's line.
bool isTestVoiceOutput(const QString& description);

}  // namespace doruzudo
