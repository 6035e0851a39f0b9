#include "common/qt_scheduler.h"

#include <QTimer>

namespace doruzudo {
namespace {

class QtTimer final : public Timer {
 public:
  QtTimer(QtScheduler* owner, QString name, int interval, std::function<void()> handler,
          std::function<void(const QString&, const std::function<void()>&)> run)
      : name_(std::move(name)), handler_(std::move(handler)), run_(std::move(run)) {
    timer_.setInterval(interval);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { run_(name_, handler_); });
  }
  void setInterval(int ms) override {
    if (ms != timer_.interval()) timer_.setInterval(ms);  // QTimer restarts an active timer
  }
  int interval() const override { return timer_.interval(); }
  void setEnabled(bool enabled) override {
    if (enabled == timer_.isActive()) return;
    if (enabled && timer_.interval() > 0) {
      timer_.start();
    } else {
      timer_.stop();
    }
  }
  bool enabled() const override { return timer_.isActive(); }
  void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
  QString name() const override { return name_; }

 private:
  QTimer timer_;
  QString name_;
  std::function<void()> handler_;
  std::function<void(const QString&, const std::function<void()>&)> run_;
};

}  // namespace

QtScheduler::QtScheduler() = default;

QtScheduler::~QtScheduler() {
  for (auto& [id, timer] : pending_) delete timer;
}

QDateTime QtScheduler::now() const { return QDateTime::currentDateTime(); }

std::unique_ptr<Timer> QtScheduler::createTimer(QString name, int intervalMs,
                                                std::function<void()> handler) {
  return std::make_unique<QtTimer>(
      this, std::move(name), intervalMs, std::move(handler),
      [this](const QString& n, const std::function<void()>& fn) { dispatch(n, fn); });
}

uint64_t QtScheduler::callLater(int delayMs, std::function<void()> fn, QString name) {
  const uint64_t id = ++nextId_;
  auto* timer = new QTimer(&context_);
  timer->setSingleShot(true);
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, &context_,
                   [this, id, timer, fn = std::move(fn), name = std::move(name)] {
                     pending_.erase(id);
                     timer->deleteLater();
                     dispatch(name, fn);
                   });
  pending_.emplace(id, timer);
  timer->start(std::max(0, delayMs));
  return id;
}

void QtScheduler::cancel(uint64_t id) {
  auto it = pending_.find(id);
  if (it == pending_.end()) return;
  it->second->stop();
  it->second->deleteLater();
  pending_.erase(it);
}

}  // namespace doruzudo
