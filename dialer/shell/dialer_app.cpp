#include "dialer/shell/dialer_app.h"

#include "dialer/campaigns/mail_sender.h"
#include "dialer/engine/engine.h"
#include "dialer/line/call_recorder.h"
#include "dialer/line/channel_audio_set.h"
#include "dialer/line/espeak_voice.h"
#include "dialer/line/espeak_voice_line.h"
#include "dialer/line/line_port_hid.h"
#include "dialer/line/line_port_sim.h"
#include "sim/virtual_exchange.h"

namespace doruzudo {

DialerApp::DialerApp(Scheduler& scheduler, SettingsStore& store, Options options)
    : scheduler_(scheduler),
      store_(store),
      log_(scheduler),
      database_(scheduler, log_),
      errorOutput_(options.errorOutput) {
  if (options.logOutput) log_.addObserver({options.logOutput, nullptr});
  if (options.simulateScenario) {
    buildSimulation(options);
  } else {
    linePort_ = makeHidrawLinePort();
    audio_ = ChannelAudioSet::onSoundCards(scheduler_);
  }
  for (int n = 1; n <= kChannelCount; ++n) {
    voiceLines_[n - 1] = std::make_unique<VoiceLineAudio>(scheduler_, audio_->channel(n));
    voices_[n - 1] = std::make_unique<EspeakVoice>(scheduler_, *voiceLines_[n - 1]);
  }
  mail_ = std::make_unique<MailSender>(store_, log_, scheduler_);
  recorder_ = std::make_unique<CallRecorder>(scheduler_, log_,
                                             [this] { return database_.database().get(); });

  hardware_ = std::make_unique<HardwareStart>(HardwareStart{
      *linePort_, log_,
      [this](std::function<void(bool)> done) {
        ChannelAudioLookup::Labels labels;
        labels.statusLabel = [this](int n, const QString& text) { view_.setStatusLabel(n, text); };
        audio_->open(log_, labels, std::move(done));
      },
      [this] {
        if (engine_) engine_->start();
        engineStarted_ = true;
      }});

  DialerCore::Services services;
  services.errorOutput = options.errorOutput;
  services.adminNotice = options.errorOutput;
  services.connectDatabase = [this](const QString& folder) { database_.startUp(folder); };
  services.reconnectDatabase = [this](const QString& folder) { database_.connect(folder); };
  services.startLineInterface = [this] {
    buildEngine();
    hardware_->run();
  };
  services.recordingsRootChanged = [this] {
    const ProgramValues& v = core_->values();
    recorder_->setDay({v.RecordingsRoot, v.today.year, v.today.month, v.today.day});
  };
  services.setRingCount = [this](int n, int rings) {
    if (engine_) engine_->setRingCount(n, rings);
  };
  services.bindVoices = [this] {
    for (int n = 1; n <= kChannelCount; ++n) {
      voices_[n - 1]->setRate(core_->channels()[n - 1].Rate);
      voices_[n - 1]->setVolume(core_->channels()[n - 1].Volume);
    }
  };
  services.shutdown = [this] {
    if (engine_) engine_->shutdown();
    for (auto& voice : voices_) {
      if (voice->runningState() == Voice::kSpeaking) voice->skip();
    }
    for (int n = 1; n <= kChannelCount; ++n) {
      ChannelAudio& a = audio_->channel(n);
      if (a.recording()) a.stopRecording();
      if (a.playing(Player::Message)) a.stop(Player::Message);
      if (a.playing(Player::Digit)) a.stop(Player::Digit);
    }
  };
  core_ = std::make_unique<DialerCore>(scheduler_, log_, store_, std::move(options.folders),
                                       std::move(services));
}

DialerApp::~DialerApp() {
  engine_.reset();
  exchange_.reset();
}

ChannelAudioSim* DialerApp::simulatedAudio(int n) {
  return audio_ ? audio_->simulated(n) : nullptr;
}

void DialerApp::buildSimulation(const Options& options) {
  auto port = std::make_unique<LinePortSim>(scheduler_);
  simPort_ = port.get();
  linePort_ = std::move(port);
  audio_ = ChannelAudioSet::simulatedLines(scheduler_);
  const QString file = options.simulateScenario->isEmpty()
                           ? QStringLiteral(DORUZUDO_SOURCE_DIR "/share/demo/scenario.txt")
                           : *options.simulateScenario;
  auto scenario = sim::loadScenario(file);
  if (!scenario) {
    if (errorOutput_) errorOutput_(QStringLiteral("doruzudo: %1").arg(scenario.message()));
    ok_ = false;
    scenario = sim::Scenario{};
  }
  sim::ExchangeOptions exchangeOptions;
  exchangeOptions.espeak = options.partySpeech;
  exchange_ = std::make_unique<sim::VirtualExchange>(scheduler_, std::move(*scenario), exchangeOptions);
  exchange_->attachLines(*simPort_);
  for (int n = 1; n <= kChannelCount; ++n) exchange_->attachAudio(n, audio_->simulated(n)->farEnd());
  if (!options.truthFile.isEmpty()) {
    if (Status s = exchange_->openTruth(options.truthFile); !s && errorOutput_) {
      errorOutput_(QStringLiteral("doruzudo: %1").arg(s.message()));
    }
  }
}

void DialerApp::buildEngine() {
  if (engine_) return;
  EngineEnvironment env;
  env.scheduler = &scheduler_;
  env.line = linePort_.get();
  env.log = &log_;
  env.view = &view_;
  for (int n = 1; n <= kChannelCount; ++n) {
    env.audio[n - 1] = voiceLines_[n - 1].get();
    env.voice[n - 1] = voices_[n - 1].get();
  }
  // Recordings go to the folders of the start-up day, in the format read then.
  const ProgramValues& values = core_->values();
  recorder_->setDay({values.RecordingsRoot, values.today.year, values.today.month, values.today.day});
  recorder_->setFormat(core_->general().TipoArquivo, core_->general().SampleRate);
  env.recorder = recorder_.get();
  env.database = [this] { return database_.database().get(); };
  env.settings = &store_;
  env.mail = mail_.get();
  env.channels = &core_->channels();
  env.general = &core_->general();
  env.ProgramFolder = core_->values().ProgramFolder;
  if (exchange_) {
    for (int n = 1; n <= kChannelCount; ++n) {
      exchange_->setLinePrefix(n, core_->channels()[n - 1].GetLinha);
    }
  }
  engine_ = std::make_unique<Engine>(std::move(env));
}

bool DialerApp::start() { return core_->FormCreate(); }

void DialerApp::stop() { core_->FormDestroy(); }

}  // namespace doruzudo
