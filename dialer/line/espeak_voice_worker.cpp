#include "dialer/line/espeak_voice_worker.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace doruzudo {

std::shared_ptr<SpeechWorker> SpeechWorker::shared() {
  static std::mutex mutex;  // guards current
  static std::weak_ptr<SpeechWorker> current;
  std::lock_guard lock(mutex);
  std::shared_ptr<SpeechWorker> worker = current.lock();
  if (!worker) {
    worker.reset(new SpeechWorker());
    current = worker;
  }
  return worker;
}

SpeechWorker::SpeechWorker() : thread_([this] { run(); }) {}

SpeechWorker::~SpeechWorker() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  wake_.notify_all();
  thread_.join();
}

void SpeechWorker::post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void SpeechWorker::run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

bool postToMainThread(std::function<void()> fn) {
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return false;
  return QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
}

}  // namespace doruzudo
