#include "dialer/campaigns/mail_worker.h"

#include <QMetaObject>

namespace doruzudo {

MailWorker::MailWorker(MailTransport& transport) : transport_(transport) {
  thread_ = std::thread([this] { run(); });
}

MailWorker::~MailWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  transport_.cancel();
  changed_.notify_all();
  thread_.join();
  // context_ goes after this body: outcomes still queued to it are dropped.
}

void MailWorker::submit(MailAccount account, MailEnvelope envelope, Finished finished) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back({std::move(account), std::move(envelope), std::move(finished)});
  }
  changed_.notify_all();
}

void MailWorker::post(Status outcome, Finished finished) {
  deliver(std::move(outcome), std::move(finished));
}

void MailWorker::waitIdleForTest() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !running_; });
}

void MailWorker::deliver(Status outcome, Finished finished) {
  QMetaObject::invokeMethod(
      &context_,
      [outcome = std::move(outcome), finished = std::move(finished)] { finished(outcome); },
      Qt::QueuedConnection);
}

void MailWorker::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_) return;
    Job job = std::move(queue_.front());
    queue_.pop_front();
    running_ = true;
    lock.unlock();
    Status outcome = transport_.send(job.account, job.envelope);
    deliver(std::move(outcome), std::move(job.finished));
    lock.lock();
    running_ = false;
    changed_.notify_all();
  }
}

}  // namespace doruzudo
