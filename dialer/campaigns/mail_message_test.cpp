// The notices and their rendering, checked on bytes.
#include "dialer/campaigns/mail_message.h"

#include <gtest/gtest.h>

#include <QTimeZone>

#include "tests/testing.h"

namespace doruzudo {
namespace {

const QDateTime kWhen(QDate(2026, 3, 25), QTime(9, 0, 0), QTimeZone(-3 * 3600));

// Undoes quoted-printable (soft breaks and =XX).
QByteArray fromQuotedPrintable(QByteArray text) {
  text.replace("=\r\n", "");
  QByteArray out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == '=') {
      out += char(text.mid(i + 1, 2).toInt(nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Undoes RFC 2047 "B" words joined by CR LF SP.
QString fromEncodedWords(const QByteArray& header) {
  QByteArray bytes;
  for (QByteArray word : header.split('\n')) {
    word = word.trimmed();
    EXPECT_TRUE(word.startsWith("=?UTF-8?B?") && word.endsWith("?=")) << word.constData();
    bytes += QByteArray::fromBase64(word.mid(10, word.size() - 12));
  }
  return QString::fromUtf8(bytes);
}

TEST(MailMessage, EachNoticeKindHasItsLogLineSubjectAndThirdLine) {
  struct Case {
    int kind;
    const char* logLine;
    const char* subject;
    const char* third;
  };
  const Case cases[] = {
      {1, "Enviando E-mail de fim de campanha.", "Vantor Doruzudo - Campanha Finalizada.",
       "A Companha: Natal foi finalizada."},
      {2, "Enviando E-mail de pausa de campanha.", "Vantor Doruzudo - Campanha Pausada.",
       "Todas as companhas foram pausadas manualmente."},
      {3, "Enviando E-mail de campanha iniciada.", "Vantor Doruzudo - Campanha Inciada.",
       "Todas as capnhas foram iniciadas manualmente."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    const auto notice =
        buildNotice(c.kind, QStringLiteral("Natal"), QStringLiteral("a@b.com"), kWhen);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->logLine, QString::fromUtf8(c.logLine));
    EXPECT_EQ(notice->message.subject, QString::fromUtf8(c.subject));
    EXPECT_EQ(notice->message.body,
              QStringList({"Vantor Doruzudo - envio de email!!!", "\r\n",
                           QString::fromUtf8(c.third), "\r\n", "Data:25/03/2026  Hora:09:00:00"}));
    EXPECT_EQ(notice->message.fromName, QStringLiteral("Vantor Doruzudo"));
  }
  EXPECT_FALSE(buildNotice(0, {}, QStringLiteral("a@b.com"), kWhen));
  EXPECT_FALSE(buildNotice(4, {}, QStringLiteral("a@b.com"), kWhen));
}

TEST(MailMessage, EndOfCampaignNoticeRendersToTheExpectedBytes) {
  const auto notice = buildNotice(1, QStringLiteral("Promoção"),
                                  QStringLiteral("Vendas@Loja.com.br; chefe@loja.com.br"), kWhen);
  ASSERT_TRUE(notice);
  const QByteArray bytes = renderMessage(notice->message, kWhen, "<id@loja.com.br>");
  EXPECT_EQ(bytes,
            "Date: Wed, 25 Mar 2026 09:00:00 -0300\r\n"
            "From: Vantor Doruzudo <vendas@loja.com.br>\r\n"
            "To: vendas@loja.com.br, chefe@loja.com.br\r\n"
            "Subject: Vantor Doruzudo - Campanha Finalizada.\r\n"
            "Message-ID: <id@loja.com.br>\r\n"
            "X-Priority: 1\r\n"
            "Importance: high\r\n"
            "MIME-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=UTF-8\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n"
            "\r\n"
            "Vantor Doruzudo - envio de email!!!\r\n"
            "\r\n"
            "\r\n"
            "A Companha: Promo=C3=A7=C3=A3o foi finalizada.\r\n"
            "\r\n"
            "\r\n"
            "Data:25/03/2026  Hora:09:00:00\r\n");
}

TEST(MailMessage, TestMessageBody) {
  const MailMessage m = buildTestMessage(QStringLiteral("ops@x.com"));
  EXPECT_EQ(m.subject, QStringLiteral("Teste de envio de e-mails Vantor Doruzudo"));
  const QByteArray bytes = renderMessage(m, kWhen, "<i@x.com>");
  const QByteArray body = bytes.mid(bytes.indexOf("\r\n\r\n") + 4);
  EXPECT_EQ(body,
            "SUCESSO NO ENVIO\r\n\r\n\r\nVantor Doruzudo - envio de email!!!\r\n\r\n\r\n\r\n\r\n"
            "Teste Efetuado com Sucesso.\r\n");
  EXPECT_TRUE(bytes.contains("\r\nFrom: Vantor Doruzudo <ops@x.com>\r\nTo: ops@x.com\r\n"));
}

TEST(MailMessage, RecipientsAreLowerCasePlainAddressesOnly) {
  EXPECT_EQ(parseRecipients(QStringLiteral(" Ana@X.com ; bob@y.org,,ana@x.com")),
            QStringList({"ana@x.com", "bob@y.org"}));
  // Nothing that could end a command or a header line gets through.
  EXPECT_TRUE(parseRecipients(QStringLiteral("a@x.com\r\nRCPT TO:<c@d>")).isEmpty());
  EXPECT_EQ(parseRecipients(QStringLiteral("Ana <a@x.com>, b c@x.com, @x.com, d@, e@x.com")),
            QStringList({"e@x.com"}));
  EXPECT_TRUE(parseRecipients(QString()).isEmpty());
}

TEST(MailMessage, NonAsciiHeadersBecomeShortEncodedWordsThatDecodeBack) {
  const QString subject = QStringLiteral("Campanha “Promoção de Verão” concluída às 18h — ") +
                          QString(40, QChar(0x00E7));
  const QByteArray encoded = encodeHeaderText(subject);
  EXPECT_EQ(fromEncodedWords(encoded), subject);
  const QByteArray line = "Subject: " + encoded;
  for (const QByteArray& l : line.split('\n')) EXPECT_LE(l.trimmed().size(), 76) << l.constData();
  EXPECT_EQ(encodeHeaderText(QStringLiteral("Plain text")), "Plain text");

  EXPECT_EQ(formatMailbox(QStringLiteral("Vantor Doruzudo"), QStringLiteral("a@b.c")),
            "Vantor Doruzudo <a@b.c>");
  EXPECT_EQ(formatMailbox(QStringLiteral("Loja \"Centro\", SP"), QStringLiteral("a@b.c")),
            "\"Loja \\\"Centro\\\", SP\" <a@b.c>");
  EXPECT_EQ(formatMailbox(QStringLiteral("João"), QStringLiteral("a@b.c")),
            "=?UTF-8?B?Sm/Do28=?= <a@b.c>");
}

TEST(MailMessage, QuotedPrintableKeepsLinesShortAndDecodesBack) {
  const QByteArray cases[] = {
      "plain line\r\nends with blank \r\n",
      "a=b\ttab at end\t",
      QByteArray(200, 'x') + "\r\n" + QString(60, QChar(0x00E3)).toUtf8() + "\r\n",
      "\r\n\r\n.dot first\r\n",
  };
  for (const QByteArray& text : cases) {
    SCOPED_TRACE(text.constData());
    const QByteArray qp = quotedPrintable(text);
    EXPECT_EQ(fromQuotedPrintable(qp), text);
    for (const QByteArray& line : qp.split('\n')) {
      EXPECT_LE(line.size(), 77);  // 76 and the CR
      EXPECT_FALSE(line.endsWith(" \r") || line.endsWith("\t\r"));
    }
  }
  EXPECT_EQ(quotedPrintable("x = 1 \r\n"), "x =3D 1=20\r\n");
}

TEST(MailMessage, DateHeaderAndMessageId) {
  EXPECT_EQ(rfc5322Date(kWhen), "Wed, 25 Mar 2026 09:00:00 -0300");
  EXPECT_EQ(rfc5322Date(QDateTime(QDate(2026, 1, 4), QTime(23, 5, 9), QTimeZone(5 * 3600 + 1800))),
            "Sun, 04 Jan 2026 23:05:09 +0530");
  EXPECT_EQ(rfc5322Date(QDateTime(QDate(2026, 12, 1), QTime(0, 0), QTimeZone::utc())),
            "Tue, 01 Dec 2026 00:00:00 +0000");
  EXPECT_EQ(makeMessageId(kWhen, 0xabc, QStringLiteral("ops@loja.com.br")),
            "<20260325090000.0000000000000abc@loja.com.br>");
  EXPECT_EQ(makeMessageId(kWhen, 1, QString()),
            "<20260325090000.0000000000000001@doruzudo.localdomain>");
}

}  // namespace
}  // namespace doruzudo
