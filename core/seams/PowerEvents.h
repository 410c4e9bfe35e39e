#pragma once
// Tells the program that the system is about to suspend, so that it can stop recording or
// playback first. Where the system offers no such notice, nothing is ever reported.

#include <functional>
#include <memory>

namespace velmora {

class PowerEvents {
 public:
  // Called on the watcher's own thread. The suspend waits (up to the system's limit) while
  // `hold` is alive: keep it until the stop has run on the user-interface thread, then drop it.
  using SuspendHandler = std::function<void(std::shared_ptr<void> hold)>;

  virtual ~PowerEvents() = default;
  // Starts watching; false when the system gives no power events (nothing will be reported).
  virtual bool Start(SuspendHandler handler) = 0;
};

}  // namespace velmora
