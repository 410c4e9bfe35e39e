#pragma once
// Window timers ticked by hand: a test fires a timer that is running, and the tick goes to the
// owner's handler exactly as a window timer's would. Nothing here looks at a clock.

#include <functional>
#include <map>
#include <utility>

#include "seams/Timers.h"

namespace velmora::test {

class FakeTimers : public Timers {
 public:
  void Start(int id, int intervalMs) override { running_[id] = intervalMs; }
  void Kill(int id) override { running_.erase(id); }

  // Where ticks go (the owner's OnTimer).
  void SetHandler(std::function<void(int)> handler) { handler_ = std::move(handler); }

  bool Running(int id) const { return running_.count(id) != 0; }
  // Interval of a running timer, 0 when it is not running.
  int Interval(int id) const {
    const auto it = running_.find(id);
    return it == running_.end() ? 0 : it->second;
  }
  // One tick of timer `id`, only while it runs; true when it ticked.
  bool Fire(int id) {
    if (!Running(id)) return false;
    if (handler_) handler_(id);
    return true;
  }

 private:
  std::map<int, int> running_;
  std::function<void(int)> handler_;
};

}  // namespace velmora::test
