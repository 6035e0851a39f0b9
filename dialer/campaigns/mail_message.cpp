#include "dialer/campaigns/mail_message.h"

#include <QRegularExpression>
#include <array>

#include "common/text_forms.h"

namespace doruzudo {
namespace {

const QString kBodyHead = QStringLiteral("Vantor Doruzudo - envio de email!!!");
const QString kLineBreak = QStringLiteral("\r\n");

struct KindText {
  QString logLine;
  QString subject;
  QString thirdLine;  // "%1" stands for the campaign
};

std::optional<KindText> kindText(int kind) {
  switch (kind) {
    case 1:
      return KindText{QStringLiteral("Enviando E-mail de fim de campanha."),
                      QStringLiteral("Vantor Doruzudo - Campanha Finalizada."),
                      QStringLiteral("A Companha: %1 foi finalizada.")};
    case 2:
      return KindText{QStringLiteral("Enviando E-mail de pausa de campanha."),
                      QStringLiteral("Vantor Doruzudo - Campanha Pausada."),
                      QStringLiteral("Todas as companhas foram pausadas manualmente.")};
    case 3:
      return KindText{QStringLiteral("Enviando E-mail de campanha iniciada."),
                      QStringLiteral("Vantor Doruzudo - Campanha Inciada."),
                      QStringLiteral("Todas as capnhas foram iniciadas manualmente.")};
    default:
      return std::nullopt;
  }
}

MailMessage addressed(const QString& sendTo) {
  MailMessage m;
  m.fromName = mail_texts::kSenderName;
  m.to = parseRecipients(sendTo);
  if (!m.to.isEmpty()) m.fromAddress = m.to.first();
  return m;
}

bool isPrintableAscii(const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7e) return false;
  }
  return true;
}

// atext of RFC 5322 plus the blank between words.
bool isPlainPhrase(const QString& text) {
  static const QRegularExpression re(QStringLiteral(R"(^[A-Za-z0-9!#$%&'*+\-/=?^_`{|}~ ]+$)"));
  return re.match(text).hasMatch() && !text.startsWith(QLatin1Char(' ')) &&
         !text.endsWith(QLatin1Char(' '));
}

// Cuts UTF-8 bytes into pieces of at most `limit` bytes at character starts.
QList<QByteArray> utf8Pieces(const QByteArray& bytes, int limit) {
  QList<QByteArray> pieces;
  qsizetype start = 0;
  while (start < bytes.size()) {
    qsizetype end = std::min(start + limit, bytes.size());
    while (end < bytes.size() && end > start + 1 && (uchar(bytes[end]) & 0xC0) == 0x80) --end;
    pieces << bytes.mid(start, end - start);
    start = end;
  }
  return pieces;
}

QByteArray hexByte(uchar c) {
  return QByteArray("=") + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
}

// One line (no line end) in quoted-printable, with soft breaks.
QByteArray quotedLine(const QByteArray& line) {
  QByteArray out;
  int column = 0;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const uchar c = uchar(line[i]);
    const bool last = i + 1 == line.size();
    const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
    const QByteArray token = literal ? QByteArray(1, char(c)) : hexByte(c);
    if (column + token.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += token;
    column += int(token.size());
  }
  return out;
}

}  // namespace

QStringList parseRecipients(const QString& sendTo) {
  static const QRegularExpression address(
      QStringLiteral(R"(^[A-Za-z0-9!#$%&'*+\-/=?^_`{|}~.]+@[A-Za-z0-9\-]+(\.[A-Za-z0-9\-]+)*$)"));
  static const QRegularExpression separators(QStringLiteral("[,;]"));
  QStringList result;
  for (const QString& part : sendTo.split(separators)) {
    const QString candidate = part.trimmed().toLower();
    if (address.match(candidate).hasMatch() && !result.contains(candidate)) result << candidate;
  }
  return result;
}

std::optional<Notice> buildNotice(int kind, const QString& campaign, const QString& sendTo,
                                  const QDateTime& now) {
  const auto text = kindText(kind);
  if (!text) return std::nullopt;
  Notice notice;
  notice.logLine = text->logLine;
  notice.message = addressed(sendTo);
  notice.message.subject = text->subject;
  const QString third = kind == 1 ? text->thirdLine.arg(campaign) : text->thirdLine;
  notice.message.body = {kBodyHead, kLineBreak, third, kLineBreak,
                         QStringLiteral("Data:") + formatDate(now.date()) +
                             QStringLiteral("  Hora:") + formatTime(now.time())};
  return notice;
}

MailMessage buildTestMessage(const QString& sendTo) {
  MailMessage m = addressed(sendTo);
  m.subject = QStringLiteral("Teste de envio de e-mails Vantor Doruzudo");
  m.body = {
      QStringLiteral("SUCESSO NO ENVIO"),           kLineBreak, kBodyHead, kLineBreak, kLineBreak,
      QStringLiteral("Teste Efetuado com Sucesso.")};
  return m;
}

QByteArray rfc5322Date(const QDateTime& when) {
  static const std::array<const char*, 7> days = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
  static const std::array<const char*, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const QDate d = when.date();
  const int offsetMinutes = when.offsetFromUtc() / 60;
  const int magnitude = std::abs(offsetMinutes);
  return QStringLiteral("%1, %2 %3 %4 %5 %6%7%8")
      .arg(QLatin1String(days[d.dayOfWeek() - 1]))
      .arg(d.day(), 2, 10, QLatin1Char('0'))
      .arg(QLatin1String(months[d.month() - 1]))
      .arg(d.year(), 4, 10, QLatin1Char('0'))
      .arg(when.time().toString(QStringLiteral("HH:mm:ss")))
      .arg(offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
      .arg(magnitude / 60, 2, 10, QLatin1Char('0'))
      .arg(magnitude % 60, 2, 10, QLatin1Char('0'))
      .toLatin1();
}

QByteArray encodeHeaderText(const QString& text) {
  if (isPrintableAscii(text)) return text.toLatin1();
  // 39 bytes give 52 base64 characters: a 64-character word, so that even the
  // first line ("Subject: " + word) stays within 76 characters.
  QList<QByteArray> words;
  for (const QByteArray& piece : utf8Pieces(text.toUtf8(), 39)) {
    words << QByteArray("=?UTF-8?B?") + piece.toBase64() + "?=";
  }
  return words.join("\r\n ");
}

QByteArray formatMailbox(const QString& name, const QString& address) {
  const QByteArray angle = "<" + address.toLatin1() + ">";
  if (name.isEmpty()) return angle;
  if (isPlainPhrase(name)) return name.toLatin1() + " " + angle;
  if (isPrintableAscii(name)) {
    QString quoted = name;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return "\"" + quoted.toLatin1() + "\" " + angle;
  }
  return encodeHeaderText(name) + " " + angle;
}

QByteArray quotedPrintable(const QByteArray& text) {
  QByteArray out;
  qsizetype start = 0;
  while (start < text.size()) {
    const qsizetype end = text.indexOf("\r\n", start);
    if (end < 0) {
      out += quotedLine(text.mid(start));
      break;
    }
    out += quotedLine(text.mid(start, end - start)) + "\r\n";
    start = end + 2;
  }
  return out;
}

QByteArray makeMessageId(const QDateTime& when, quint64 unique, const QString& fromAddress) {
  QString domain = fromAddress.section(QLatin1Char('@'), 1);
  if (domain.isEmpty()) domain = QStringLiteral("doruzudo.localdomain");
  return QStringLiteral("<%1.%2@%3>")
      .arg(when.toString(QStringLiteral("yyyyMMddHHmmss")))
      .arg(unique, 16, 16, QLatin1Char('0'))
      .arg(domain)
      .toLatin1();
}

QByteArray renderMessage(const MailMessage& message, const QDateTime& date,
                         const QByteArray& messageId) {
  QByteArray body;
  for (const QString& entry : message.body) body += entry.toUtf8() + "\r\n";
  QByteArrayList to;
  for (const QString& address : message.to) to << address.toLatin1();

  QByteArray out;
  out += "Date: " + rfc5322Date(date) + "\r\n";
  out += "From: " + formatMailbox(message.fromName, message.fromAddress) + "\r\n";
  out += "To: " + to.join(", ") + "\r\n";
  out += "Subject: " + encodeHeaderText(message.subject) + "\r\n";
  out += "Message-ID: " + messageId + "\r\n";
  if (message.highestPriority) out += "X-Priority: 1\r\nImportance: high\r\n";
  out += "MIME-Version: 1.0\r\n";
  out += "Content-Type: text/plain; charset=UTF-8\r\n";
  out += "Content-Transfer-Encoding: quoted-printable\r\n";
  out += "\r\n";
  out += quotedPrintable(body);
  return out;
}

}  // namespace doruzudo
