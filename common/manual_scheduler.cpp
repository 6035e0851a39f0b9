#include "common/manual_scheduler.h"

#include <optional>

namespace doruzudo {

class ManualScheduler::ManualTimer final : public Timer {
 public:
  ManualTimer(ManualScheduler* owner, QString name, int interval, std::function<void()> handler)
      : owner_(owner), name_(std::move(name)), interval_(interval), handler_(std::move(handler)) {}
  ~ManualTimer() override {
    if (owner_) disarmSelf();
    if (owner_) owner_->timers_.erase(this);
  }

  void setInterval(int ms) override {
    if (ms == interval_) return;
    interval_ = ms;
    if (enabled_) {
      disarmSelf();
      armSelf();
    }
  }
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_) {
      armSelf();
    } else {
      disarmSelf();
    }
  }
  bool enabled() const override { return enabled_; }
  void setHandler(std::function<void()> handler) override { handler_ = std::move(handler); }
  QString name() const override { return name_; }

  // Called by the scheduler when this timer's entry is due and removed.
  void fire() {
    key_.reset();
    armSelf();  // the next period runs on whatever the handler does
    owner_->dispatch(name_, handler_);
  }
  void orphan() {
    owner_ = nullptr;
    key_.reset();
  }

 private:
  void armSelf() {
    if (!owner_ || interval_ <= 0) return;
    key_ = owner_->arm(owner_->elapsed_ + interval_, Entry{this, {}, name_});
  }
  void disarmSelf() {
    if (key_ && owner_) owner_->disarm(*key_);
    key_.reset();
  }

  ManualScheduler* owner_;
  QString name_;
  int interval_;
  bool enabled_ = false;
  std::function<void()> handler_;
  std::optional<Key> key_;
};

ManualScheduler::ManualScheduler(QDateTime start) : base_(std::move(start)) {}

ManualScheduler::~ManualScheduler() {
  for (auto* timer : timers_) timer->orphan();
}

QDateTime ManualScheduler::now() const { return base_.addMSecs(elapsed_); }

void ManualScheduler::setNow(const QDateTime& now) { base_ = now.addMSecs(-elapsed_); }

std::unique_ptr<Timer> ManualScheduler::createTimer(QString name, int intervalMs,
                                                    std::function<void()> handler) {
  auto timer = std::make_unique<ManualTimer>(this, std::move(name), intervalMs, std::move(handler));
  timers_.insert(timer.get());
  return timer;
}

uint64_t ManualScheduler::callLater(int delayMs, std::function<void()> fn, QString name) {
  const Key key = arm(elapsed_ + std::max(0, delayMs), Entry{nullptr, std::move(fn), std::move(name)});
  continuations_.emplace(key.second, key);
  return key.second;
}

void ManualScheduler::cancel(uint64_t id) {
  auto it = continuations_.find(id);
  if (it == continuations_.end()) return;
  queue_.erase(it->second);
  continuations_.erase(it);
}

ManualScheduler::Key ManualScheduler::arm(int64_t due, Entry entry) {
  const Key key{due, ++sequence_};
  queue_.emplace(key, std::move(entry));
  return key;
}

int64_t ManualScheduler::msUntilNext() const {
  if (queue_.empty()) return -1;
  return queue_.begin()->first.first - elapsed_;
}

void ManualScheduler::advance(int64_t ms) {
  const int64_t target = elapsed_ + std::max<int64_t>(0, ms);
  while (!queue_.empty() && queue_.begin()->first.first <= target) {
    auto node = queue_.extract(queue_.begin());
    elapsed_ = std::max(elapsed_, node.key().first);
    Entry& entry = node.mapped();
    if (entry.timer) {
      entry.timer->fire();
    } else {
      continuations_.erase(node.key().second);
      dispatch(entry.name, entry.fn);
    }
  }
  elapsed_ = target;
}

}  // namespace doruzudo
