#pragma once
// Power events from systemd-logind: a delay inhibitor is held while the program runs; on
// PrepareForSleep(true) the handler gets the inhibitor as its hold and the suspend goes on when
// the hold is dropped. After the resume (PrepareForSleep(false)) a new inhibitor is taken.
// The bus is watched on a thread of its own; without a system bus or without logind, Start
// reports false and nothing happens.

#include <atomic>
#include <thread>

#include "seams/PowerEvents.h"

struct sd_bus;
struct sd_bus_slot;

namespace velmora {

class LogindPowerEvents : public PowerEvents {
 public:
  LogindPowerEvents() = default;
  // Stops the watcher; a hold still alive elsewhere keeps its inhibitor until it is dropped.
  ~LogindPowerEvents() override;
  LogindPowerEvents(const LogindPowerEvents&) = delete;
  LogindPowerEvents& operator=(const LogindPowerEvents&) = delete;

  bool Start(SuspendHandler handler) override;

  // The bus's signal, on the watcher thread.
  void OnPrepareForSleep(bool sleeping);

 private:
  bool TakeInhibitor();
  void Watch();

  sd_bus* bus_ = nullptr;
  sd_bus_slot* match_ = nullptr;
  int inhibitFd_ = -1;  // watcher thread only, after Start
  int stopFd_ = -1;     // eventfd that ends the watcher
  bool needInhibitor_ = false;
  SuspendHandler handler_;
  std::thread watcher_;
};

}  // namespace velmora
