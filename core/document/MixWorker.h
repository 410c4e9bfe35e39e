#pragma once
// The background mixdown thread and the two flags it shares with the user-interface thread. One
// body runs at a time. No lock is taken: the user-interface thread polls busy() and the body
// polls the stop flag.

#include <atomic>
#include <functional>
#include <thread>

namespace velmora {

namespace test {
class DocumentAccess;
}

class MixWorker {
 public:
  MixWorker() = default;
  // Asks a running body to stop and waits for it.
  ~MixWorker();
  MixWorker(const MixWorker&) = delete;
  MixWorker& operator=(const MixWorker&) = delete;

  // User-interface thread, only while not busy(). Runs `body` on a new thread one step below
  // normal priority. busy() is true from before Start returns until after `body` has returned,
  // so that once it reads false everything the body wrote is visible (acquire). False, not busy
  // and `body` gone without running when no thread can be started.
  bool Start(std::function<void()> body);
  // User-interface thread. Returns once no body runs.
  void Wait();
  // User-interface thread. Asks a running body to end early (stopFlag), then waits for it; the
  // flag is clear again afterwards.
  void Stop();

  // Any thread.
  bool busy() const { return workerBusy_.load(std::memory_order_acquire); }
  // The body reads it (acquire) between steps and returns early once it is true.
  const std::atomic<bool>& stopFlag() const { return workerStop_; }

 private:
  friend class test::DocumentAccess;

  std::thread workerThread_;
  // Set by Start on the user-interface thread, cleared by the worker when its body has returned.
  std::atomic<bool> workerBusy_{false};
  // Written by the user-interface thread only.
  std::atomic<bool> workerStop_{false};
};

}  // namespace velmora
