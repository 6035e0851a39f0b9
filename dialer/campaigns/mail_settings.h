// The SMTP account and notice options, as stored in the dialer's settings key
// (values ServerSMTP, PortaSMTP, UserSMTP, SenhaSMTP, AuthSeguro, CertSMTP,
// SendTo, FimCampanha). They are read again for every message, so a change on
// the e-mail page applies to the next notice.
//
// Main thread (the settings store is used from one thread); the structs are
// plain values that may be copied to the sending thread.
#pragma once

#include <QString>

#include "common/settings_store.h"
#include "common/status.h"

namespace doruzudo {

struct MailAccount {
  QString host;      // ServerSMTP: host name or address
  int port = 25;     // PortaSMTP
  QString user;      // UserSMTP; empty: send without logging in
  QString password;  // SenhaSMTP
  // AuthSeguro: TLS from the first byte ("smtps"). Off: a plain connection,
  // upgraded with STARTTLS when the server offers it.
  bool secure = false;
  // CertSMTP: a PEM file holding the (self-signed) certificate of the server,
  // trusted in place of the system's authorities. Empty: the system's.
  QString trustedCertificate;
};

struct MailSettings {
  MailAccount account;
  QString sendTo;  // SendTo: sender and recipients
};

// Reads the values from `key` of `store`. Fails when PortaSMTP is not a
// decimal integer from 1 to 65535 or AuthSeguro is not a Boolean text; absent
// texts are empty and absent options off.
Result<MailSettings> readMailSettings(SettingsStore& store,
                                      const QString& key = SettingsStore::kConfigKey);
// A Boolean option such as FimCampanha; absent or unreadable is off.
bool readMailOption(SettingsStore& store, const QString& name,
                    const QString& key = SettingsStore::kConfigKey);
// ServerSMTP alone (the plain path reads it again before its retry); an
// unreadable value gives nullopt.
std::optional<QString> readMailServer(SettingsStore& store,
                                      const QString& key = SettingsStore::kConfigKey);

}  // namespace doruzudo
