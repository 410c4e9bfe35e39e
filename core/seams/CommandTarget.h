#pragma once
// What the window layer routes to core: commands, timer ticks and the view's update
// notifications. Everything here is called on the user-interface thread.

#include "seams/DocumentNotice.h"

namespace velmora {

// A receiver of menu, tool-bar and accelerator commands.
class CommandTarget {
 public:
  virtual ~CommandTarget() = default;
  // Runs command `id` and returns true, or returns false when `id` is not this target's.
  virtual bool OnCommand(int id) = 0;
  // Whether OnCommand would run `id` (true exactly where it returns true). A command that no
  // target runs is disabled in the menu, on the tool bar and for its key.
  virtual bool HandlesCommand(int id) const = 0;
};

// A receiver of window-timer ticks. Every registered target sees every tick and ignores the ids
// that are not its own.
class TimerTarget {
 public:
  virtual ~TimerTarget() = default;
  virtual void OnTimer(int id) = 0;
};

// A receiver of the view's notifications.
class ViewUpdateTarget {
 public:
  virtual ~ViewUpdateTarget() = default;
  // Once, when the view is first shown (its form exists and the frame fits it).
  virtual void OnInitialUpdate() {}
  // After every document change that calls for a refresh (UpdateAllViews, New), told what changed.
  virtual void OnUpdate(const DocumentNotice& notice) = 0;
};

}  // namespace velmora
