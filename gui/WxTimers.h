#pragma once
// Window timers by id on wxTimer. Every tick calls back on the user-interface thread with the
// timer's id.

#include <wx/timer.h>

#include <functional>
#include <map>
#include <memory>

#include "seams/Timers.h"

namespace velmora {

class WxTimers : public Timers {
 public:
  explicit WxTimers(std::function<void(int id)> onTick) : onTick_(std::move(onTick)) {}
  void Start(int id, int intervalMs) override;
  void Kill(int id) override;
  bool IsRunning(int id) const;

 private:
  class TickTimer : public wxTimer {
   public:
    TickTimer(WxTimers& owner, int id) : owner_(owner), id_(id) {}
    void Notify() override { owner_.onTick_(id_); }

   private:
    WxTimers& owner_;
    int id_;
  };

  std::function<void(int)> onTick_;
  std::map<int, std::unique_ptr<TickTimer>> timers_;
};

}  // namespace velmora
