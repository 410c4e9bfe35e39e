#pragma once

#include "seams/PowerEvents.h"

namespace velmora::test {

// Window tests run without a suspend watcher.
class NoPowerEvents : public PowerEvents {
 public:
  bool Start(SuspendHandler) override { return false; }
};

}  // namespace velmora::test
