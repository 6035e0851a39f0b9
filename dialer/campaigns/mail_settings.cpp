#include "dialer/campaigns/mail_settings.h"

#include "common/text_forms.h"

namespace doruzudo {
namespace {

// A port stored as text ("25", as the page writes it) or as an integer.
Result<int> readPort(const SettingsKey& key) {
  const auto stored = key.value(QStringLiteral("PortaSMTP"));
  std::optional<int> port;
  if (stored && stored->type == ValueType::Integer) port = stored->integer;
  if (stored && stored->type == ValueType::Text) port = parseInt(stored->text);
  if (!port || *port < 1 || *port > 65535) {
    return Result<int>::Error(QStringLiteral("PortaSMTP '%1' is not a port number")
                                  .arg(stored ? stored->text : QString()));
  }
  return *port;
}

// An absent option is off; a present one must be a Boolean text.
Result<bool> readOption(const SettingsKey& key, const QString& name) {
  if (!key.valueExists(name)) return false;
  const QString text = key.readString(name);
  const auto value = parseBool(text);
  if (!value)
    return Result<bool>::Error(QStringLiteral("%1 '%2' is not a Boolean").arg(name, text));
  return *value;
}

}  // namespace

Result<MailSettings> readMailSettings(SettingsStore& store, const QString& keyPath) {
  try {
    const auto key = store.openKey(keyPath);
    if (!key) return Result<MailSettings>::Error(QStringLiteral("no settings key %1").arg(keyPath));
    MailSettings s;
    s.sendTo = key->readString(QStringLiteral("SendTo")).toLower();
    s.account.host = key->readString(QStringLiteral("ServerSMTP")).trimmed();
    s.account.user = key->readString(QStringLiteral("UserSMTP"));
    s.account.password = key->readString(QStringLiteral("SenhaSMTP"));
    s.account.trustedCertificate = key->readString(QStringLiteral("CertSMTP")).trimmed();
    const auto port = readPort(*key);
    if (!port) return port.status();
    s.account.port = *port;
    const auto secure = readOption(*key, QStringLiteral("AuthSeguro"));
    if (!secure) return secure.status();
    s.account.secure = *secure;
    return s;
  } catch (const SettingsError& e) {
    return Result<MailSettings>::Error(e.message());
  }
}

bool readMailOption(SettingsStore& store, const QString& name, const QString& keyPath) {
  try {
    const auto key = store.openKey(keyPath);
    if (!key) return false;
    const auto value = readOption(*key, name);
    return value.ok() && *value;
  } catch (const SettingsError&) {
    return false;
  }
}

std::optional<QString> readMailServer(SettingsStore& store, const QString& keyPath) {
  try {
    const auto key = store.openKey(keyPath);
    if (!key) return std::nullopt;
    return key->readString(QStringLiteral("ServerSMTP")).trimmed();
  } catch (const SettingsError&) {
    return std::nullopt;
  }
}

}  // namespace doruzudo
