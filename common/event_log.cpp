#include "common/event_log.h"

#include "common/text_forms.h"

namespace doruzudo {

EventLog::EventLog(Scheduler& scheduler) : scheduler_(scheduler) {}

EventLog::~EventLog() = default;

void EventLog::AddMsg(const QString& message) noexcept {
  try {
    const QDateTime now = scheduler_.now();
    const QString line = formatDateTime(now.date(), now.time()) + QStringLiteral(" - ") + message;
    lines_.append(line);
    for (const auto& [id, observer] : observers_) {
      if (observer.added) observer.added(line);
    }
  } catch (...) {
    // The line is lost; the caller goes on.
  }
}

void EventLog::startLimitCheck() {
  if (!tLimpaMemo_) {
    tLimpaMemo_ = scheduler_.createTimer(QStringLiteral("tLimpaMemo"), kLimitCheckMs,
                                         [this] { tLimpaMemoTimer(); });
  }
  tLimpaMemo_->start();
}

void EventLog::tLimpaMemoTimer() {
  if (lineCount() >= kLineLimit) clear();
}

void EventLog::clear() {
  lines_.clear();
  for (const auto& [id, observer] : observers_) {
    if (observer.cleared) observer.cleared();
  }
}

int EventLog::addObserver(Observer observer) {
  observers_.emplace_back(++nextObserver_, std::move(observer));
  return nextObserver_;
}

void EventLog::removeObserver(int id) {
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

}  // namespace doruzudo
