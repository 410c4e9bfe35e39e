#include "WxTimers.h"

namespace velmora {

void WxTimers::Start(int id, int intervalMs) {
  std::unique_ptr<TickTimer>& timer = timers_[id];
  if (!timer) timer = std::make_unique<TickTimer>(*this, id);
  timer->Start(intervalMs);
}

void WxTimers::Kill(int id) {
  const auto it = timers_.find(id);
  if (it != timers_.end()) it->second->Stop();
}

bool WxTimers::IsRunning(int id) const {
  const auto it = timers_.find(id);
  return it != timers_.end() && it->second->IsRunning();
}

}  // namespace velmora
