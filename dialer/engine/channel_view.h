// ChannelView: what the engine shows of a channel. The main window draws it;
// tests and the headless dialer read it.
//
// Threads: main thread only.
#pragma once

#include <QString>
#include <array>

#include "common/channel_settings.h"

namespace doruzudo {

class ChannelView {
 public:
  // Colours of the channel title (the design colour is the default).
  static constexpr int kColourDefault = -1;
  static constexpr int kColourRed = 255;       // the message is replayed
  static constexpr int kColourGreen = 0x8000;  // message ended, row still to move

  virtual ~ChannelView() = default;
  // lbStatusC<n>: "Pause", "Finalizado", "Discando", "Chamando", ...
  virtual void setStatusLabel(int channel, const QString& text) = 0;
  // lbCanalC<n>'s colour.
  virtual void setTitleColour(int channel, int colour) = 0;
};

// A ChannelView that only remembers: for the headless dialer and tests.
class RecordingChannelView : public ChannelView {
 public:
  void setStatusLabel(int channel, const QString& text) override { labels_.at(channel - 1) = text; }
  void setTitleColour(int channel, int colour) override { colours_.at(channel - 1) = colour; }
  QString statusLabel(int channel) const { return labels_.at(channel - 1); }
  int titleColour(int channel) const { return colours_.at(channel - 1); }

 private:
  std::array<QString, kChannelCount> labels_{};
  std::array<int, kChannelCount> colours_{kColourDefault, kColourDefault, kColourDefault,
                                          kColourDefault, kColourDefault, kColourDefault,
                                          kColourDefault, kColourDefault};
};

}  // namespace doruzudo
