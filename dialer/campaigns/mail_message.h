// The e-mail notices and the test message, and their rendering as an
// Internet message (RFC 5322 with MIME): headers encoded as RFC 2047 words
// where they hold non-ASCII text, a UTF-8 text body in quoted-printable, CR LF
// line ends, Date and Message-ID taken from the caller (the scheduler's clock).
//
// Pure functions over values; thread-safe.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace doruzudo {

namespace mail_texts {
inline const QString kSenderName = QStringLiteral("Vantor Doruzudo");
inline const QString kSendError = QStringLiteral("Erro ao enviar  email.");
inline const QString kResending = QStringLiteral("Re-enviando E-mail.");
inline const QString kSent = QStringLiteral("E-mail enviado com sucesso.");
// The outcomes of the test message, shown to the operator.
inline const QString kTestSent = QStringLiteral("Email enviado com sucesso!!!");
inline const QString kTestFirstError =
    QStringLiteral("Ocorreu um erro verifique suas configurações");
inline const QString kTestError = QStringLiteral("Ocorreu um erro verifique suas configurações.");
}  // namespace mail_texts

// A message before rendering. Each body entry is written followed by CR LF,
// so an entry holding "\r\n" gives two line breaks.
struct MailMessage {
  QString fromName;
  QString fromAddress;
  QStringList to;
  QString subject;
  QStringList body;
  bool highestPriority = true;
};

// A notice of one kind (1 end of campaign, 2 paused, 3 started).
struct Notice {
  QString logLine;  // the event-log line written when the notice is sent
  MailMessage message;
};

// The addresses of a SendTo text: split at "," and ";", trimmed, lower case.
// Entries that are not a plain address (local@domain without blanks, angle
// brackets or control characters) are left out.
QStringList parseRecipients(const QString& sendTo);

// The notice of `kind` for `sendTo`, stamped with `now` in its last body line;
// nullopt for a kind other than 1 to 3. `campaign` is used by kind 1.
std::optional<Notice> buildNotice(int kind, const QString& campaign, const QString& sendTo,
                                  const QDateTime& now);
// The test message ("Teste de Envio").
MailMessage buildTestMessage(const QString& sendTo);

// "Wed, 25 Mar 2026 09:00:00 -0300": English names, the offset of `when`.
QByteArray rfc5322Date(const QDateTime& when);
// A header's text: as it is when printable ASCII, else RFC 2047 "B" words of
// at most 75 characters, never splitting a character, joined by CR LF SP.
QByteArray encodeHeaderText(const QString& text);
// "Name <address>", the name quoted or encoded as it needs.
QByteArray formatMailbox(const QString& name, const QString& address);
// Quoted-printable of UTF-8 text with CR LF line ends; lines of at most 76
// characters (soft breaks), trailing blanks encoded.
QByteArray quotedPrintable(const QByteArray& text);
// "<yyyyMMddHHmmss.<16 hex digits>@<domain of fromAddress>>".
QByteArray makeMessageId(const QDateTime& when, quint64 unique, const QString& fromAddress);

// The message as sent after the SMTP DATA command (without the final ".").
QByteArray renderMessage(const MailMessage& message, const QDateTime& date,
                         const QByteArray& messageId);

}  // namespace doruzudo
