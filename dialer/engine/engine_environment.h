// EngineEnvironment: everything the call engine sees of the world, handed to
// it once at construction. The engine reads no clock, opens no device and no
// file of its own: time and timers come from the scheduler, the lines from
// the line port, sound and tone events from each channel's ChannelAudio,
// speech from each channel's Voice, numbers from the call database.
//
// The start-up fills it (the settings live in DialerCore) and keeps every
// object it points to alive for as long as the engine lives.
//
// Threads: main thread only, like everything it points to.
#pragma once

#include <QString>
#include <array>
#include <functional>

#include "common/channel_settings.h"

namespace doruzudo {

class CallDatabase;
class CallRecorder;
class ChannelAudio;
class ChannelView;
class EventLog;
class LinePort;
class MailPort;
class Scheduler;
class SettingsStore;
class Voice;

struct EngineEnvironment {
  Scheduler* scheduler = nullptr;  // required
  LinePort* line = nullptr;        // required
  EventLog* log = nullptr;         // required
  ChannelView* view = nullptr;     // required
  // Channel n's sound at [n - 1] (required) and its speech voice (may be null
  // until the voices are bound; a spoken message then cannot start).
  std::array<ChannelAudio*, kChannelCount> audio{};
  std::array<Voice*, kChannelCount> voice{};
  // The call database as it is now: it may be connected again while the
  // program runs, so the engine asks at every use. Null (or an empty
  // function) means "not connected": each database step then fails with its
  // own log line, as it does when a statement fails.
  std::function<CallDatabase*()> database;
  // Records the party in mode "Disque Opnião" (may be null: such a call is
  // then released when the recording would start).
  CallRecorder* recorder = nullptr;
  SettingsStore* settings = nullptr;  // the settings file (may be null)
  MailPort* mail = nullptr;           // may be null: notices are then not sent
  // Channel n's settings at [n - 1] and the general ones (required); owned
  // by the start-up and changed by the settings editors while dialing runs.
  std::array<ChannelSettings, kChannelCount>* channels = nullptr;
  GeneralSettings* general = nullptr;
  // Where the shipped data lie, ending in "/": the dial digit of character c
  // is ProgramFolder + "digitos/" + c + ".wav".
  QString ProgramFolder;

  CallDatabase* db() const { return database ? database() : nullptr; }
  ChannelSettings& channelSettings(int channel) const { return channels->at(channel - 1); }
};

}  // namespace doruzudo
