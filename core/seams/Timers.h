#pragma once
// A window's timers, by id (the ids are in TimerIds.h). Ticks come back into core on the
// user-interface thread (the owner's OnTimer(id)); tests tick by hand, so no test sleeps.

namespace velmora {

class Timers {
 public:
  virtual ~Timers() = default;
  // Starts (or restarts) timer `id` with the interval in milliseconds.
  virtual void Start(int id, int intervalMs) = 0;
  virtual void Kill(int id) = 0;
};

}  // namespace velmora
