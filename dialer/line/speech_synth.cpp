#include "dialer/line/speech_synth.h"

#include <espeak-ng/speak_lib.h>

#include <mutex>

#include "dialer/line/audio_file.h"

namespace doruzudo {

namespace {

std::mutex& espeakMutex() {
  static std::mutex m;
  return m;
}

int g_espeak_rate = 0;  // guarded by espeakMutex(); 0 until initialised, <0 on failure

int collect(short* wav, int count, espeak_EVENT* events) {
  auto* out = static_cast<std::vector<int16_t>*>(events ? events->user_data : nullptr);
  if (out && wav && count > 0) out->insert(out->end(), wav, wav + count);
  return 0;
}

bool initialise() {
  if (g_espeak_rate == 0) {
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 200, nullptr, espeakINITIALIZE_DONT_EXIT);
    g_espeak_rate = rate > 0 ? rate : -1;
    if (rate > 0) espeak_SetSynthCallback(collect);
  }
  return g_espeak_rate > 0;
}

bool selectVoice(const QString& voice) {
  const QByteArray name = voice.toUtf8();
  if (espeak_SetVoiceByName(name.constData()) == EE_OK) return true;
  espeak_VOICE wanted{};
  wanted.languages = name.constData();
  return espeak_SetVoiceByProperties(&wanted) == EE_OK;
}

}  // namespace

Result<std::vector<int16_t>> renderSpeech(const QString& text, const SpeechOptions& options) {
  std::lock_guard lock(espeakMutex());
  if (!initialise())
    return Result<std::vector<int16_t>>::Error(QStringLiteral("espeak-ng could not start"));
  if (!selectVoice(options.voice)) {
    return Result<std::vector<int16_t>>::Error(
        QStringLiteral("no espeak-ng voice '%1'").arg(options.voice));
  }
  if (options.words_per_minute > 0) espeak_SetParameter(espeakRATE, options.words_per_minute, 0);
  if (options.pitch >= 0) espeak_SetParameter(espeakPITCH, options.pitch, 0);
  std::vector<int16_t> pcm;
  const QByteArray utf8 = text.toUtf8();
  unsigned flags = espeakCHARS_UTF8 | (options.ssml ? espeakSSML : 0);
  const espeak_ERROR err =
      espeak_Synth(utf8.constData(), utf8.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, &pcm);
  if (err != EE_OK)
    return Result<std::vector<int16_t>>::Error(QStringLiteral("espeak-ng failed to speak"));
  espeak_Synchronize();
  if (options.words_per_minute > 0) espeak_SetParameter(espeakRATE, espeakRATE_NORMAL, 0);
  if (options.pitch >= 0) espeak_SetParameter(espeakPITCH, 50, 0);
  return resample(pcm, g_espeak_rate, options.rate > 0 ? options.rate : g_espeak_rate);
}

QStringList speechVoices() {
  std::lock_guard lock(espeakMutex());
  QStringList out;
  if (!initialise()) return out;
  for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
    // languages: a priority byte, then the language name, repeated; take the first.
    if ((*v)->languages && (*v)->languages[0]) out << QString::fromUtf8((*v)->languages + 1);
  }
  return out;
}

}  // namespace doruzudo
