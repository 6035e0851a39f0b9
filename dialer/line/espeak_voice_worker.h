// SpeechWorker: the program's one speech synthesis thread. espeak-ng keeps
// global state, so every voice renders its texts here, one job after the
// other in the order posted. The worker lives while some voice holds it
// (shared()); the last holder's release ends the thread after the job in
// hand (jobs still queued are dropped).
//
// postToMainThread() hands a result back: `fn` runs on the thread of the
// QCoreApplication, on a later turn of its event loop.
//
// Thread-safety: post() may be called from any thread; mutex_ guards jobs_
// and stopping_. Jobs run on the worker's thread and must touch nothing of
// the main thread's but what they post back.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace doruzudo {

class SpeechWorker {
 public:
  // The running worker, started when no one holds it.
  static std::shared_ptr<SpeechWorker> shared();

  ~SpeechWorker();
  SpeechWorker(const SpeechWorker&) = delete;
  SpeechWorker& operator=(const SpeechWorker&) = delete;

  void post(std::function<void()> job);

 private:
  SpeechWorker();
  void run();

  std::mutex mutex_;  // guards jobs_ and stopping_
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::thread thread_;
};

// Runs `fn` on the main (application) thread later; false when there is no
// QCoreApplication to run it.
bool postToMainThread(std::function<void()> fn);

}  // namespace doruzudo
