// MailWorker: one thread that runs the transport's sends, one after the other,
// and hands each outcome back to the thread that created the worker (the main
// thread) through its event loop. Nothing else runs on the worker thread.
//
// Threads: construct, submit() and destroy on the main thread; `finished`
// runs there, from the Qt event loop, never inside submit(). Destruction
// cancels the running send, drops the queued ones, joins the thread, and no
// `finished` of this worker runs afterwards.
#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "dialer/campaigns/mail_transport.h"

namespace doruzudo {

class MailWorker {
 public:
  using Finished = std::function<void(const Status&)>;

  explicit MailWorker(MailTransport& transport);
  ~MailWorker();
  MailWorker(const MailWorker&) = delete;
  MailWorker& operator=(const MailWorker&) = delete;

  // Queues one send.
  void submit(MailAccount account, MailEnvelope envelope, Finished finished);
  // Queues `finished` with an outcome that needs no send, delivered in order
  // like the others.
  void post(Status outcome, Finished finished);

  // Blocks until no send is queued or running (the outcomes may still wait
  // in the event loop). For tests.
  void waitIdleForTest();

 private:
  struct Job {
    MailAccount account;
    MailEnvelope envelope;
    Finished finished;
  };
  void run();
  void deliver(Status outcome, Finished finished);

  MailTransport& transport_;
  QObject context_;   // lives on the main thread: outcomes are queued to it
  std::mutex mutex_;  // guards queue_, running_ and stopping_
  std::condition_variable changed_;
  std::deque<Job> queue_;
  bool running_ = false;
  bool stopping_ = false;
  std::thread thread_;  // started last, joined first
};

}  // namespace doruzudo
