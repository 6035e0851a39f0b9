// MailSender over a fake transport: which notices go out, with which account,
// the log lines of each outcome, the retry of the plain path, the test message.
#include "dialer/campaigns/mail_sender.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "common/manual_scheduler.h"
#include "tests/testing.h"

namespace doruzudo {
namespace {

using mail_texts::kResending;
using mail_texts::kSendError;
using mail_texts::kSent;

// What the fake transport saw and will answer; shared with the test.
struct FakeWire {
  std::mutex mutex;  // guards every member below
  std::condition_variable changed;
  std::deque<Status> outcomes;  // answers in order; Ok when empty
  std::vector<std::pair<MailAccount, MailEnvelope>> sends;
  bool hold = false;  // a send waits until released or cancelled
  bool cancelled = false;
};

class FakeTransport final : public MailTransport {
 public:
  explicit FakeTransport(std::shared_ptr<FakeWire> wire) : wire_(std::move(wire)) {}
  Status send(const MailAccount& account, const MailEnvelope& envelope) override {
    std::unique_lock lock(wire_->mutex);
    wire_->sends.emplace_back(account, envelope);
    wire_->changed.notify_all();
    wire_->changed.wait(lock, [&] { return !wire_->hold || wire_->cancelled; });
    if (wire_->cancelled) return Status::Error(QStringLiteral("cancelled"));
    if (wire_->outcomes.empty()) return Status::Ok();
    Status s = wire_->outcomes.front();
    wire_->outcomes.pop_front();
    return s;
  }
  void cancel() override {
    std::lock_guard lock(wire_->mutex);
    wire_->cancelled = true;
    wire_->changed.notify_all();
  }

 private:
  std::shared_ptr<FakeWire> wire_;
};

const Status kDown = Status::Error(QStringLiteral("Failed to connect"));

class MailSenderTest : public ::testing::Test {
 protected:
  MailSenderTest() {
    write("SendTo", "ops@loja.com.br");
    write("ServerSMTP", "smtp.loja.com.br");
    write("PortaSMTP", "2525");
    write("UserSMTP", "ops");
    write("SenhaSMTP", "s3nha");
    write("AuthSeguro", "0");
    write("FimCampanha", "-1");
  }
  void write(const char* name, const char* text) {
    writeSetting(*store, SettingsStore::kConfigKey, QString::fromUtf8(name),
                 QString::fromUtf8(text));
  }
  void answer(std::vector<Status> outcomes) {
    std::lock_guard lock(wire->mutex);
    wire->outcomes.assign(outcomes.begin(), outcomes.end());
  }
  // Lets the worker finish and delivers its outcomes, a retry included.
  void settle() {
    for (int round = 0; round < 4; ++round) {
      sender->waitIdleForTest();
      QCoreApplication::sendPostedEvents();
    }
  }
  // The log without time stamps.
  QStringList logged() const {
    QStringList out;
    for (const QString& line : log.lines()) out << line.section(QStringLiteral(" - "), 2);
    return out;
  }
  std::vector<std::pair<MailAccount, MailEnvelope>> sends() {
    std::lock_guard lock(wire->mutex);
    return wire->sends;
  }

  testing::TempDir dir;
  std::shared_ptr<SettingsStore> store = testing::makeStore(dir);
  ManualScheduler scheduler{QDateTime(QDate(2026, 3, 25), QTime(14, 7, 9))};
  EventLog log{scheduler};
  std::shared_ptr<FakeWire> wire = std::make_shared<FakeWire>();
  std::unique_ptr<MailSender> sender =
      std::make_unique<MailSender>(*store, log, scheduler, std::make_unique<FakeTransport>(wire));
  int doneCount = 0;
  std::function<void()> done = [this] { ++doneCount; };
};

TEST_F(MailSenderTest, SendsEachKindToSendToWithTheStoredAccount) {
  struct Case {
    int kind;
    const char* logLine;
    const char* subject;
  };
  const Case cases[] = {
      {1, "Enviando E-mail de fim de campanha.", "Subject: Vantor Doruzudo - Campanha Finalizada."},
      {2, "Enviando E-mail de pausa de campanha.", "Subject: Vantor Doruzudo - Campanha Pausada."},
      {3, "Enviando E-mail de campanha iniciada.", "Subject: Vantor Doruzudo - Campanha Inciada."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    log.clear();
    EXPECT_EQ(sender->EnviaEmail(c.kind, QStringLiteral("Natal"), done), 1);
    EXPECT_EQ(logged(), QStringList({QString::fromUtf8(c.logLine)}));
    settle();
    EXPECT_EQ(logged(), QStringList({QString::fromUtf8(c.logLine), kSent}));
  }
  EXPECT_EQ(doneCount, 3);
  const auto all = sends();
  ASSERT_EQ(all.size(), 3u);
  const auto& [account, envelope] = all[0];
  EXPECT_EQ(account.host, QStringLiteral("smtp.loja.com.br"));
  EXPECT_EQ(account.port, 2525);
  EXPECT_EQ(account.user, QStringLiteral("ops"));
  EXPECT_EQ(account.password, QStringLiteral("s3nha"));
  EXPECT_FALSE(account.secure);
  EXPECT_EQ(envelope.from, QStringLiteral("ops@loja.com.br"));
  EXPECT_EQ(envelope.to, QStringList({"ops@loja.com.br"}));
  EXPECT_TRUE(envelope.message.contains("A Companha: Natal foi finalizada.\r\n"));
  EXPECT_TRUE(envelope.message.contains("Data:25/03/2026  Hora:14:07:09\r\n"));
  EXPECT_TRUE(envelope.message.contains("\r\nMessage-ID: <20260325140709."));
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(all[i].second.message.contains(cases[i].subject));
}

TEST_F(MailSenderTest, KindsNotToSendReturnZeroAndDoNothing) {
  write("FimCampanha", "0");
  for (int kind : {1, 0, 4, -1})
    EXPECT_EQ(sender->EnviaEmail(kind, QStringLiteral("Natal"), done), 0);
  settle();
  EXPECT_TRUE(log.lines().isEmpty());
  EXPECT_TRUE(sends().empty());
  EXPECT_EQ(doneCount, 0);
}

TEST_F(MailSenderTest, OutcomesAndTheirLogLines) {
  struct Case {
    const char* name;
    const char* secure;
    std::vector<Status> outcomes;
    QStringList after;  // log lines after "Enviando ..."
    size_t tries;
  };
  const Case cases[] = {
      {"plain, sent", "0", {}, {kSent}, 1},
      {"plain, sent on the retry", "0", {kDown}, {kSendError, kResending, kSent}, 2},
      {"plain, failed twice", "0", {kDown, kDown}, {kSendError, kResending, kSendError}, 2},
      {"secure, sent", "-1", {}, {}, 1},
      {"secure, failed: no retry, logged", "-1", {kDown}, {kSendError}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("AuthSeguro", c.secure);
    answer(c.outcomes);
    const size_t before = sends().size();
    log.clear();
    doneCount = 0;
    ASSERT_EQ(sender->EnviaEmail(MailPort::kPaused, {}, done), 1);
    settle();
    EXPECT_EQ(logged(), QStringList({"Enviando E-mail de pausa de campanha."}) + c.after);
    EXPECT_EQ(sends().size() - before, c.tries);
    EXPECT_EQ(doneCount, 1);
    EXPECT_EQ(sends().back().first.secure, QString::fromUtf8(c.secure) == "-1");
  }
}

TEST_F(MailSenderTest, SettingsAreReadForEverySendAndTheServerAgainBeforeTheRetry) {
  answer({kDown});
  sender->EnviaEmail(MailPort::kStarted, {}, done);
  sender->waitIdleForTest();  // the first try failed; its outcome is not delivered yet
  write("ServerSMTP", "backup.loja.com.br");
  write("SendTo", "Outro@Loja.com.br");
  settle();
  auto all = sends();
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(all[1].first.host, QStringLiteral("backup.loja.com.br"));
  EXPECT_EQ(all[1].second.to, all[0].second.to);  // the message itself is not rebuilt

  write("AuthSeguro", "-1");
  write("PortaSMTP", "465");
  sender->EnviaEmail(MailPort::kStarted, {}, done);
  settle();
  all = sends();
  ASSERT_EQ(all.size(), 3u);
  EXPECT_TRUE(all[2].first.secure);
  EXPECT_EQ(all[2].first.port, 465);
  EXPECT_EQ(all[2].second.to, QStringList({"outro@loja.com.br"}));
  EXPECT_EQ(doneCount, 2);
}

TEST_F(MailSenderTest, UnreadableSettingsEndTheNoticeWithALogLine) {
  struct Case {
    const char* name;
    const char* value;
    const char* text;
  };
  const Case cases[] = {
      {"empty port", "PortaSMTP", ""},
      {"port not a number", "PortaSMTP", "25a"},
      {"port out of range", "PortaSMTP", "70000"},
      {"secure switch not a Boolean", "AuthSeguro", "talvez"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    write("PortaSMTP", "25");
    write("AuthSeguro", "0");
    write(c.value, c.text);
    log.clear();
    doneCount = 0;
    EXPECT_EQ(sender->EnviaEmail(MailPort::kStarted, {}, done), 1);
    EXPECT_EQ(doneCount, 0);  // never inside the call
    settle();
    EXPECT_EQ(logged(), QStringList({"Enviando E-mail de campanha iniciada.", kSendError}));
    EXPECT_EQ(doneCount, 1);
    EXPECT_FALSE(sender->lastFailure().isEmpty());
  }
  EXPECT_TRUE(sends().empty());
}

TEST_F(MailSenderTest, NoRecipientMeansNoSendAndTheFailureLines) {
  write("SendTo", "");
  sender->EnviaEmail(MailPort::kPaused, {}, done);
  settle();
  EXPECT_EQ(logged(), QStringList({"Enviando E-mail de pausa de campanha.", kSendError, kResending,
                                   kSendError}));
  EXPECT_TRUE(sends().empty());
  EXPECT_EQ(doneCount, 1);
}

TEST_F(MailSenderTest, TestMessageUsesTheGivenValuesAndReportsEachOutcome) {
  MailSettings page;
  page.sendTo = QStringLiteral("teste@x.com");
  page.account.host = QStringLiteral("page.host");
  page.account.port = 587;
  struct Case {
    const char* name;
    bool secure;
    std::vector<Status> outcomes;
    QStringList messages;
    bool sent;
  };
  using namespace mail_texts;
  const Case cases[] = {
      {"plain, sent", false, {}, {kTestSent}, true},
      {"plain, sent on the retry", false, {kDown}, {kTestFirstError, kTestSent}, true},
      {"plain, failed twice", false, {kDown, kDown}, {kTestFirstError, kTestError}, false},
      {"secure, failed", true, {kDown}, {kTestError}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    page.account.secure = c.secure;
    answer(c.outcomes);
    std::optional<MailTestOutcome> outcome;
    sender->sendTest(page, [&](const MailTestOutcome& o) { outcome = o; });
    settle();
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->messages, c.messages);
    EXPECT_EQ(outcome->sent, c.sent);
    EXPECT_EQ(outcome->reason.isEmpty(), c.sent);
  }
  const auto& [account, envelope] = sends().back();
  EXPECT_EQ(account.host, QStringLiteral("page.host"));
  EXPECT_EQ(account.port, 587);
  EXPECT_EQ(envelope.to, QStringList({"teste@x.com"}));
  EXPECT_TRUE(envelope.message.contains("Subject: Teste de envio de e-mails Vantor Doruzudo\r\n"));
  EXPECT_TRUE(log.lines().isEmpty());  // the test message writes no log line
}

TEST_F(MailSenderTest, TheCallerNeverWaitsForTheNetworkAndDestructionCancelsTheSend) {
  {
    std::lock_guard lock(wire->mutex);
    wire->hold = true;
  }
  EXPECT_EQ(sender->EnviaEmail(MailPort::kStarted, {}, done), 1);
  {
    std::unique_lock lock(wire->mutex);
    wire->changed.wait(lock, [&] { return !wire->sends.empty(); });
  }
  QCoreApplication::sendPostedEvents();
  EXPECT_EQ(logged(), QStringList({"Enviando E-mail de campanha iniciada."}));
  sender.reset();  // cancels the held send and joins the worker
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(wire->cancelled);
  EXPECT_EQ(doneCount, 0);
}

}  // namespace
}  // namespace doruzudo
