#include "common/scheduler.h"

#include <exception>

namespace doruzudo {

void Scheduler::dispatch(const QString& name, const std::function<void()>& fn) const {
  if (!fn) return;
  try {
    fn();
  } catch (const std::exception& e) {
    if (errorSink_) {
      try {
        errorSink_(name, &e);
      } catch (...) {
      }
    }
  } catch (...) {
    if (errorSink_) {
      try {
        errorSink_(name, nullptr);
      } catch (...) {
      }
    }
  }
}

}  // namespace doruzudo
