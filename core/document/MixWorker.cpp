#include "document/MixWorker.h"

#include <cerrno>
#include <exception>
#include <utility>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace velmora {

namespace {

// How far the worker's nice value is raised on Linux: one step below the user-interface and
// audio threads, as a below-normal thread priority is. More would only slow the first blocks of
// playback on a busy machine; the interactive threads sleep most of the time and win anyway.
constexpr int kWorkerNiceIncrement = 1;

void LowerCurrentThreadPriority() {
#if defined(__linux__)
  // Linux nice values are per thread when addressed by thread id.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) ::setpriority(PRIO_PROCESS, tid, nice + kWorkerNiceIncrement);
#elif defined(_WIN32)
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
}

}  // namespace

MixWorker::~MixWorker() {
  Stop();
}

bool MixWorker::Start(std::function<void()> body) {
  Wait();  // a finished thread is joined before the next one starts
  workerBusy_.store(true, std::memory_order_release);
  try {
    workerThread_ = std::thread([this, body = std::move(body)] {
      LowerCurrentThreadPriority();
      body();
      workerBusy_.store(false, std::memory_order_release);
    });
  } catch (const std::exception&) {
    workerBusy_.store(false, std::memory_order_release);
    return false;
  }
  return true;
}

void MixWorker::Wait() {
  if (workerThread_.joinable()) workerThread_.join();
}

void MixWorker::Stop() {
  if (busy()) workerStop_.store(true, std::memory_order_release);
  Wait();
  workerStop_.store(false, std::memory_order_relaxed);
}

}  // namespace velmora
