// Speech rendered into a buffer with espeak-ng (synchronous output, a synth
// callback), for the channel's speaking player, the digit and message files
// made at build time, and the decoder's benchmark. Voices are espeak-ng's
// ("pt-br", "en-us", ...); the text is UTF-8, plain or SSML.
// Thread-safety: espeak-ng keeps global state; every call here holds one
// process-wide mutex, so concurrent callers simply wait their turn.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "common/status.h"

namespace doruzudo {

struct SpeechOptions {
  QString voice = QStringLiteral("pt-br");
  int rate = 8000;           // output sample rate (espeak-ng's own is converted)
  bool ssml = false;         // the text holds SSML elements
  int words_per_minute = 0;  // 0: the voice's default
  int pitch = -1;            // 0-100; -1: the voice's default
};

// The speech of `text`; fails when espeak-ng or the voice is not available.
Result<std::vector<int16_t>> renderSpeech(const QString& text, const SpeechOptions& options = {});

// Identifiers of the installed voices (languages such as "pt-br").
QStringList speechVoices();

}  // namespace doruzudo
