#include "dialer/shell/dialer_core.h"

#include "common/text_forms.h"
#include "dialer/shell/autostart.h"

namespace doruzudo {

DialerCore::DialerCore(Scheduler& scheduler, EventLog& log, SettingsStore& store, Folders folders,
                       Services services)
    : scheduler_(scheduler),
      log_(log),
      store_(store),
      folders_(std::move(folders)),
      services_(std::move(services)) {
  SettingsEditors::Hooks hooks;
  hooks.setRingCount = [this](int n, int rings) {
    if (services_.setRingCount) services_.setRingCount(n, rings);
  };
  hooks.writeAutostart = [this](bool on) {
    writeAutostartEntry(folders_.autostart, folders_.program + QStringLiteral("doruzudo"), on);
  };
  hooks.recordingsRootChanged = [this](const QString& root) {
    values_.RecordingsRoot = root;
    values_.today = CriaPasta(root, QDate(values_.TodayYear, values_.TodayMonth, values_.TodayDay));
    if (services_.recordingsRootChanged) services_.recordingsRootChanged();
  };
  hooks.reconnectDatabase = [this](const QString& folder) {
    if (services_.reconnectDatabase) services_.reconnectDatabase(folder);
  };
  editors_ = std::make_unique<SettingsEditors>(store_, channels_, general_, std::move(hooks));
  // Every error that escapes a timer or continuation ends up here.
  scheduler_.setErrorSink([this](const QString& handler, const std::exception* e) {
    EventoErro(handler, e ? QString::fromUtf8(e->what()) : QStringLiteral("unknown error"));
  });
}

DialerCore::~DialerCore() { scheduler_.setErrorSink(nullptr); }

void DialerCore::EventoErro(const QString& sender, const QString& message) {
  try {
    const int cr = message.indexOf(QLatin1Char('\r'));
    const QString first = cr >= 0 ? message.left(cr + 1) : message;
    const QDateTime now = scheduler_.now();
    const QString line = formatDate(now.date()) + QLatin1Char(' ') + formatTime(now.time()) +
                         QLatin1Char(' ') + first + QStringLiteral(" - Controle: ") + focusedControl_;
    if (services_.errorOutput) services_.errorOutput(line);
  } catch (...) {
  }
}

bool DialerCore::FormCreate() {
  try {
    runSteps();
    return true;
  } catch (const StartupReadError& e) {
    stoppedAt_ = e.valueName();
    if (services_.adminNotice) {
      services_.adminNotice(
          QStringLiteral("doruzudo: start-up stopped at the setting '%1' (%2); set it with "
                         "'doruzudo-admin settings set' or import share/defaults.reg")
              .arg(e.valueName(), e.message()));
    }
    EventoErro(QStringLiteral("FormCreate"), e.message());
  } catch (const std::exception& e) {
    EventoErro(QStringLiteral("FormCreate"), QString::fromUtf8(e.what()));
  }
  return false;
}

void DialerCore::FormDestroy() {
  if (services_.shutdown) services_.shutdown();
}

// --- reads through the key opened at start-up ----------------------------------

namespace {
template <typename Fn>
auto strict(const QString& name, Fn&& fn) -> decltype(fn()) {
  try {
    return fn();
  } catch (const StartupReadError&) {
    throw;
  } catch (const SettingsError& e) {
    throw StartupReadError(name, e.message());
  }
}
}  // namespace

QString DialerCore::readText(const QString& name) {
  if (!key_) return QString();
  return strict(name, [&] { return key_->readString(name); });
}

int32_t DialerCore::readInt(const QString& name) {
  if (!key_) throw StartupReadError(name, QStringLiteral("Failed to get data for '%1'").arg(name));
  return strict(name, [&] { return key_->readInteger(name); });
}

bool DialerCore::readBool(const QString& name) {
  if (!key_) throw StartupReadError(name, QStringLiteral("'' is not a valid boolean value"));
  return strict(name, [&] { return key_->readBool(name); });
}

QDate DialerCore::readDate(const QString& name) {
  if (!key_) throw StartupReadError(name, QStringLiteral("'' is not a valid date"));
  return strict(name, [&] { return key_->readDate(name); });
}

int DialerCore::readIntText(const QString& name) {
  if (!key_) throw StartupReadError(name, QStringLiteral("'' is not a valid integer value"));
  return strict(name, [&] { return key_->readIntText(name); });
}

void DialerCore::writeDefault(const QString& name, const QString& text) {
  if (!key_) {
    throw StartupReadError(name, QStringLiteral("Failed to set data for '%1': the key %2 does not exist")
                                     .arg(name, SettingsStore::kConfigKey));
  }
  strict(name, [&] { key_->writeString(name, text); });
}

}  // namespace doruzudo
