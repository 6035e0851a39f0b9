// doruzudo-make-sounds: writes the sounds that ship beside the dialer, all
// 8000 Hz 16-bit mono WAV, into a folder (the build's program folder):
//   digitos/<c>.wav        for 0-9, "*" and "#": the key's DTMF pair, 100 ms
//                          (low tone -9 dBm0, high tone -7 dBm0), then 100 ms
//                          of silence so that keys played back to back stay
//                          apart
//   audio/TransC<n>.wav    n = 1..8: the transfer announcement, spoken
//   Audio/AudioCanal<n>.wav n = 1..8: the channel's default message, spoken
// Speech comes from espeak-ng ("pt-br" unless --voice says otherwise). When
// the voice cannot speak, each spoken file is one second of silence and a
// warning is printed: the build goes on.
#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "dialer/line/audio_file.h"
#include "dialer/line/espeak_voice.h"
#include "dialer/line/signal_synth.h"
#include "dialer/line/speech_synth.h"
#include "dialer/line/tone_level.h"

namespace doruzudo {
namespace {

constexpr int kRate = 8000;
constexpr char kKeys[] = "0123456789*#";
constexpr int kChannels = 8;

const char* kUsage =
    "Usage: doruzudo-make-sounds OUTDIR [--voice NAME]\n"
    "Writes OUTDIR/digitos/<c>.wav (0-9, *, #), OUTDIR/audio/TransC1..8.wav and\n"
    "OUTDIR/Audio/AudioCanal1..8.wav. Exit status: 0 done (also when the voice\n"
    "is missing: the spoken files are then silence), 1 a file could not be\n"
    "written, 2 wrong arguments.\n";

void print(FILE* to, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), to);
  std::fputc('\n', to);
}

std::vector<int16_t> digit(char key) {
  synth::Signal s(kRate);
  s.dtmf({key, -9, -7}, 100).silence(100);
  return s.pcm();
}

// The speech of `text` with its peaks at those of a 0 dBm0 tone, or one
// second of silence (and `warning` set) when it cannot be spoken.
std::vector<int16_t> spoken(const QString& text, const QString& voice, QString& warning) {
  SpeechOptions options;
  options.voice = voice;
  options.rate = kRate;
  Result<std::vector<int16_t>> speech =
      speechDataInstalled() ? renderSpeech(text, options)
                            : Result<std::vector<int16_t>>::Error(
                                  QStringLiteral("espeak-ng's voice data are not installed"));
  if (!speech || speech->empty()) {
    warning = speech ? QStringLiteral("espeak-ng gave no sound") : speech.message();
    return std::vector<int16_t>(kRate, 0);
  }
  std::vector<int16_t> out = std::move(*speech);
  int peak = 1;
  for (int16_t s : out) peak = std::max(peak, std::abs(int{s}));
  const double gain = kZeroDbm0Rms * std::sqrt(2.0) / peak;
  for (int16_t& s : out)
    s = static_cast<int16_t>(std::clamp(std::lround(s * gain), -32768L, 32767L));
  return out;
}

bool write(const QString& path, const std::vector<int16_t>& samples) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  const Status written = writeWav(path, samples, kRate);
  if (!written) print(stderr, QStringLiteral("doruzudo-make-sounds: %1").arg(written.message()));
  return written.ok();
}

int run(const QStringList& args) {
  QString out, voice = QStringLiteral("pt-br");
  for (int i = 0; i < args.size(); ++i) {
    if (args[i] == QLatin1String("--voice") && i + 1 < args.size()) {
      voice = args[++i];
    } else if (args[i].startsWith(u'-') || !out.isEmpty()) {
      std::fputs(kUsage, stderr);
      return 2;
    } else {
      out = args[i];
    }
  }
  if (out.isEmpty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  bool ok = true;
  for (const char* k = kKeys; *k; ++k) {
    ok &= write(QStringLiteral("%1/digitos/%2.wav").arg(out, QChar::fromLatin1(*k)), digit(*k));
  }
  QString warning;
  const std::vector<int16_t> transfer =
      spoken(QStringLiteral("Aguarde, transferindo sua ligação."), voice, warning);
  for (int n = 1; n <= kChannels; ++n) {
    ok &= write(QStringLiteral("%1/audio/TransC%2.wav").arg(out).arg(n), transfer);
    const QString message = QStringLiteral(
                                "Olá. Esta é a mensagem padrão do canal %1. Escolha a mensagem "
                                "deste canal na página de "
                                "configuração do discador.")
                                .arg(n);
    ok &= write(QStringLiteral("%1/Audio/AudioCanal%2.wav").arg(out).arg(n),
                spoken(message, voice, warning));
  }
  if (!warning.isEmpty()) {
    print(stderr, QStringLiteral("doruzudo-make-sounds: warning: no speech from voice '%1' (%2); "
                                 "the spoken files are silence")
                      .arg(voice, warning));
  }
  return ok ? 0 : 1;
}

}  // namespace
}  // namespace doruzudo

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  return doruzudo::run(args);
}
