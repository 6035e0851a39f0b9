// doruzudo-admin tones: runs the channel's tone decoder over a sound file and
// prints its events, one JSON object a line.
#include <QCommandLineParser>
#include <algorithm>
#include <vector>

#include "dialer/line/audio_file.h"
#include "dialer/line/tone_decoder.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin tones analyze FILE [--rate HZ]\n"
    "Reads FILE (WAV, MP3 or another format libsndfile knows; any rate; the first\n"
    "channel), converts it to 8000 Hz, runs the dialer's tone decoder over it and\n"
    "prints its events in the order of their positions, one JSON object a line:\n"
    "  {\"event\":\"dtmf\",\"at_ms\":1200,\"key\":\"5\"}\n"
    "  {\"event\":\"frequency\",\"at_ms\":300,\"frequency\":425.0,\"second_frequency\":0.0,"
    "\"duration_ms\":1000}\n"
    "  {\"event\":\"silence_start\",\"at_ms\":1300}\n"
    "  {\"event\":\"silence_end\",\"at_ms\":5300,\"duration_ms\":4000}\n"
    "at_ms is the key's or the burst's start, the silence's start, or the silence's\n"
    "end (where sound returned). A burst still sounding when the file ends is\n"
    "reported as ending there.\n\n"
    "Options:\n"
    "  --rate HZ   FILE is headerless 16-bit little-endian mono PCM at HZ\n"
    "  -h, --help  this text\n"
    "Exit status: 0 done, 1 the file could not be read, 2 wrong arguments.\n";

struct Line {
  int64_t at;  // samples
  QString json;
};

QString ms(int64_t samples) {
  return QString::number(std::llround(samples / 8.0));
}

std::vector<Line> analyse(const std::vector<int16_t>& samples) {
  std::vector<Line> lines;
  ToneDecoder decoder;
  ToneDecoder::Callbacks cb;
  cb.dtmf = [&](int key, int64_t at) {
    lines.push_back({at, QStringLiteral("{\"event\":\"dtmf\",\"at_ms\":%1,\"key\":\"%2\"}")
                             .arg(ms(at), QString(QChar(key)))});
  };
  cb.frequency = [&](double f, double f2, int duration, int64_t at) {
    lines.push_back({at, QStringLiteral("{\"event\":\"frequency\",\"at_ms\":%1,\"frequency\":%2,"
                                        "\"second_frequency\":%3,\"duration_ms\":%4}")
                             .arg(ms(at), QString::number(f, 'f', 1), QString::number(f2, 'f', 1))
                             .arg(duration)});
  };
  cb.silence_start = [&](int64_t at) {
    lines.push_back({at, QStringLiteral("{\"event\":\"silence_start\",\"at_ms\":%1}").arg(ms(at))});
  };
  cb.silence_end = [&](int64_t at, int duration) {
    lines.push_back(
        {at, QStringLiteral("{\"event\":\"silence_end\",\"at_ms\":%1,\"duration_ms\":%2}")
                 .arg(ms(at))
                 .arg(duration)});
  };
  decoder.setCallbacks(cb);
  decoder.process(samples);
  // 100 ms of digital silence lets a burst that lasts to the end of the file end.
  const std::vector<int16_t> tail(800, 0);
  decoder.process(tail);
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.at < b.at; });
  return lines;
}

int run(const QStringList& args) {
  QCommandLineParser parser;
  parser.addHelpOption();
  parser.addOption({QStringLiteral("rate"), QStringLiteral("raw PCM rate"), QStringLiteral("HZ")});
  parser.addPositionalArgument(QStringLiteral("analyze"), QStringLiteral("analyse a file"));
  if (!parser.parse(QStringList{QStringLiteral("tones")} + args)) {
    err(parser.errorText() + QLatin1Char('\n') + QString::fromUtf8(kHelp));
    return 2;
  }
  if (parser.isSet(QStringLiteral("help"))) {
    out(QString::fromUtf8(kHelp));
    return 0;
  }
  const QStringList pos = parser.positionalArguments();
  if (pos.size() != 2 ||
      (pos[0] != QLatin1String("analyze") && pos[0] != QLatin1String("analyse"))) {
    err(QString::fromUtf8(kHelp));
    return 2;
  }
  int raw_rate = 0;
  if (parser.isSet(QStringLiteral("rate"))) {
    bool ok = false;
    raw_rate = parser.value(QStringLiteral("rate")).toInt(&ok);
    if (!ok || raw_rate < 1000 || raw_rate > 384000) {
      err(QStringLiteral("doruzudo-admin tones: --rate wants a rate in Hz (1000 to 384000)\n"));
      return 2;
    }
  }
  auto audio = raw_rate > 0 ? readRawPcm(pos[1], raw_rate, ToneDecoder::kRate)
                            : readMonoAudio(pos[1], ToneDecoder::kRate);
  if (!audio) {
    err(QStringLiteral("doruzudo-admin tones: %1\n").arg(audio.message()));
    return 1;
  }
  QString text;
  for (const auto& line : analyse(audio->samples)) text += line.json + QLatin1Char('\n');
  out(text);
  return 0;
}

const AdminCommand command(QStringLiteral("tones"),
                           QStringLiteral("analyse a sound file with the tone decoder"), run);

}  // namespace
}  // namespace doruzudo::admin
