#pragma once
// The steps the user can undo and redo. A step is what one user action changed, kept as the
// changes that take it back; undoing it hands back the changes that do it again, kept for redo.
// The history is bounded: a step count, and a share of the memory the system can give.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "document/DocumentChange.h"

namespace velmora {

struct UndoStep {
  std::string name;  // what the menu names it, e.g. "切り詰め (Ch2)"
  // Applied last to first to take the step back.
  std::vector<DocumentChange> changes;
};

class UndoHistory {
 public:
  static constexpr std::size_t kStepLimit = 100;

  // A new step; the redo steps go. With `mergeKey` set and the newest step recorded just before
  // under the same key, the step joins it: the newest step keeps what takes both back (a slider
  // moved in several moves is one step).
  void Record(UndoStep step, std::optional<int> mergeKey = std::nullopt);
  // The newest step to undo / redo, taken off its list; the caller applies it and hands the
  // opposite step to PushRedo / PushUndo.
  std::optional<UndoStep> TakeUndo();
  std::optional<UndoStep> TakeRedo();
  void PushUndo(UndoStep step);
  void PushRedo(UndoStep step);
  void Clear();

  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  const std::string& UndoName() const;
  const std::string& RedoName() const;
  // Whether the next undo / redo puts a channel's whole content back or takes it away, which
  // may empty the document and its mix.
  bool UndoReplacesAChannel() const;
  bool RedoReplacesAChannel() const;
  std::size_t UndoCount() const { return undo_.size(); }
  std::size_t RedoCount() const { return redo_.size(); }
  // Sample bytes the steps hold.
  uint64_t HeldBytes() const { return heldBytes_; }
  // The most the steps may hold: a quarter of what the system could give the program if the
  // history held nothing; no limit when the system does not say.
  uint64_t ByteLimit() const;

 private:
  std::optional<UndoStep> TakeNewest(std::deque<UndoStep>& steps);
  void DropOldestOverLimits();

  std::deque<UndoStep> undo_;
  std::deque<UndoStep> redo_;
  uint64_t heldBytes_ = 0;
  std::optional<int> openMergeKey_;
};

// Sample bytes a step holds (settings count as nothing).
uint64_t HeldBytesOf(const UndoStep& step);

}  // namespace velmora
