#include "dialer/shell/dialer_app.h"

#include "dialer/line/line_port_hid.h"

namespace doruzudo {

DialerApp::DialerApp(Scheduler& scheduler, SettingsStore& store, Options options)
    : scheduler_(scheduler), store_(store), log_(scheduler), database_(scheduler, log_) {
  if (options.logOutput) log_.addObserver({options.logOutput, nullptr});
  linePort_ = options.linePort ? std::move(options.linePort) : makeHidrawLinePort();
  hardware_ = std::make_unique<HardwareStart>(HardwareStart{*linePort_, log_, nullptr, nullptr});

  DialerCore::Services services;
  services.errorOutput = options.errorOutput;
  services.adminNotice = options.errorOutput;
  services.connectDatabase = [this](const QString& folder) { database_.startUp(folder); };
  services.reconnectDatabase = [this](const QString& folder) { database_.connect(folder); };
  services.startLineInterface = [this] { hardware_->run(); };
  core_ = std::make_unique<DialerCore>(scheduler_, log_, store_, std::move(options.folders),
                                       std::move(services));
}

DialerApp::~DialerApp() = default;

bool DialerApp::start() { return core_->FormCreate(); }

void DialerApp::stop() { core_->FormDestroy(); }

}  // namespace doruzudo
