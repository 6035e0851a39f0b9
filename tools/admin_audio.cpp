// doruzudo-admin audio: the sound devices of this machine and the channel
// each would serve.
#include "dialer/line/channel_audio_portaudio.h"
#include "tools/admin_command.h"

namespace doruzudo::admin {
namespace {

const char* kHelp =
    "Usage: doruzudo-admin audio list\n"
    "The sound devices the dialer sees (PortAudio), one a line: index, host, input and\n"
    "output channels, default rate, name, and the dialer channel the device would serve.\n"
    "A channel's device is an ALSA device with inputs whose name ends in the word MD01 to\n"
    "MD08 (\"MD03\", \"Microfone (MD03)\"); see SOUND_DEVICES.md for how to name a card so.\n";

// Devices are matched by the last word of their name, as on the dialer's start-up.
constexpr int kNaming = 5;

int list() {
  PortAudioSystem system;
  if (!system.initialized()) {
    err(QStringLiteral("doruzudo-admin audio: no sound system: %1\n").arg(system.error()));
    return 1;
  }
  const std::vector<SoundDeviceInfo> devices = system.devices();
  int serving = 0;
  for (const SoundDeviceInfo& d : devices) {
    const int channel = d.alsa && d.inputs > 0 ? channelOfInputDevice(d.name, kNaming) : 0;
    QString serves = QStringLiteral("-");
    if (channel != 0) {
      ++serving;
      const QString output = outputDeviceFor(d.name, kNaming);
      serves = QStringLiteral("channel %1").arg(channel);
      if (system.findDevice(output, false) < 0) {
        serves += QStringLiteral(" (no output device '%1')").arg(output);
      }
    }
    out(QStringLiteral("%1  %2  in %3  out %4  %5 Hz  %6  %7\n")
            .arg(d.index, 2)
            .arg(d.hostApi)
            .arg(d.inputs)
            .arg(d.outputs)
            .arg(d.defaultRate, 0, 'f', 0)
            .arg(d.name, serves));
  }
  if (devices.empty()) out(QStringLiteral("No sound devices found.\n"));
  if (serving == 0) out(QStringLiteral("No sound device serves a channel.\n"));
  return 0;
}

int run(const QStringList& args) {
  if (args.isEmpty() || args.contains(QStringLiteral("--help")) || args.contains("-h")) {
    out(QString::fromUtf8(kHelp));
    return args.isEmpty() ? 2 : 0;
  }
  if (args == QStringList{QStringLiteral("list")}) return list();
  err(QStringLiteral("doruzudo-admin audio: no subcommand '%1' (see --help)\n")
          .arg(args.join(' ')));
  return 1;
}

const AdminCommand kAudio(QStringLiteral("audio"),
                          QStringLiteral("sound devices and the channels they serve"), run);

}  // namespace
}  // namespace doruzudo::admin
