// The background mixdown thread: busy for exactly as long as its body runs, stopped on request.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "document/MixWorker.h"

namespace velmora {
namespace {

TEST(MixWorker, BusyFromStartUntilTheBodyHasReturned) {
  MixWorker worker;
  EXPECT_FALSE(worker.busy());
  std::atomic<bool> release{false};
  int written = 0;
  ASSERT_TRUE(worker.Start([&] {
    while (!release.load(std::memory_order_acquire)) std::this_thread::yield();
    written = 1;
  }));
  EXPECT_TRUE(worker.busy()) << "busy before the body could run";
  release.store(true, std::memory_order_release);
  while (worker.busy()) std::this_thread::yield();
  EXPECT_EQ(written, 1) << "what the body wrote is visible once busy falls";
  worker.Wait();

  // A second body runs after the first, with the stop flag clear.
  bool stopSeen = true;
  ASSERT_TRUE(worker.Start([&] { stopSeen = worker.stopFlag().load(); }));
  worker.Wait();
  EXPECT_FALSE(worker.busy());
  EXPECT_FALSE(stopSeen);
}

TEST(MixWorker, StopAsksTheBodyToEndAndClearsTheRequestAfterwards) {
  MixWorker worker;
  std::atomic<bool> started{false};
  ASSERT_TRUE(worker.Start([&] {
    started = true;
    while (!worker.stopFlag().load(std::memory_order_acquire)) std::this_thread::yield();
  }));
  while (!started) std::this_thread::yield();
  worker.Stop();
  EXPECT_FALSE(worker.busy());
  EXPECT_FALSE(worker.stopFlag().load());
  worker.Stop();  // nothing runs: returns at once
}

}  // namespace
}  // namespace velmora
