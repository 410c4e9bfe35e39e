#include "document/UndoHistory.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "io/AvailableMemory.h"

namespace velmora {

namespace {

uint64_t HeldBytesOf(const DocumentChange& change) {
  if (const auto* content = std::get_if<ChannelContentChange>(&change)) {
    return content->content.data.size();
  }
  if (const auto* trim = std::get_if<TrimChange>(&change)) {
    return trim->head.size() + trim->tail.size();
  }
  return 0;
}

const std::string kNoName;

}  // namespace

uint64_t HeldBytesOf(const UndoStep& step) {
  uint64_t bytes = 0;
  for (const DocumentChange& change : step.changes) bytes += HeldBytesOf(change);
  return bytes;
}

void UndoHistory::Record(UndoStep step, std::optional<int> mergeKey) {
  for (const UndoStep& dropped : redo_) heldBytes_ -= HeldBytesOf(dropped);
  redo_.clear();
  if (mergeKey && openMergeKey_ == mergeKey && !undo_.empty()) {
    // The newest step already takes the setting back to where the moves started.
    openMergeKey_ = mergeKey;
    return;
  }
  openMergeKey_ = mergeKey;
  heldBytes_ += HeldBytesOf(step);
  undo_.push_back(std::move(step));
  DropOldestOverLimits();
}

std::optional<UndoStep> UndoHistory::TakeUndo() {
  return TakeNewest(undo_);
}

std::optional<UndoStep> UndoHistory::TakeRedo() {
  return TakeNewest(redo_);
}

std::optional<UndoStep> UndoHistory::TakeNewest(std::deque<UndoStep>& steps) {
  // Whatever comes next starts a step of its own.
  openMergeKey_.reset();
  if (steps.empty()) return std::nullopt;
  UndoStep step = std::move(steps.back());
  steps.pop_back();
  heldBytes_ -= HeldBytesOf(step);
  return step;
}

void UndoHistory::PushUndo(UndoStep step) {
  heldBytes_ += HeldBytesOf(step);
  undo_.push_back(std::move(step));
  DropOldestOverLimits();
}

void UndoHistory::PushRedo(UndoStep step) {
  heldBytes_ += HeldBytesOf(step);
  redo_.push_back(std::move(step));
  DropOldestOverLimits();
}

void UndoHistory::Clear() {
  undo_.clear();
  redo_.clear();
  heldBytes_ = 0;
  openMergeKey_.reset();
}

const std::string& UndoHistory::UndoName() const {
  return undo_.empty() ? kNoName : undo_.back().name;
}

const std::string& UndoHistory::RedoName() const {
  return redo_.empty() ? kNoName : redo_.back().name;
}

namespace {

bool ReplacesAChannel(const std::deque<UndoStep>& steps) {
  if (steps.empty()) return false;
  const std::vector<DocumentChange>& changes = steps.back().changes;
  return std::any_of(changes.begin(), changes.end(), [](const DocumentChange& change) {
    return std::holds_alternative<ChannelContentChange>(change);
  });
}

}  // namespace

bool UndoHistory::UndoReplacesAChannel() const {
  return ReplacesAChannel(undo_);
}

bool UndoHistory::RedoReplacesAChannel() const {
  return ReplacesAChannel(redo_);
}

uint64_t UndoHistory::ByteLimit() const {
  const std::optional<uint64_t> available = AvailableMemory();
  if (!available) return std::numeric_limits<uint64_t>::max();
  return (*available + heldBytes_) / 4;
}

void UndoHistory::DropOldestOverLimits() {
  // The oldest steps go first, undo before redo (the redo list's oldest is its far end). The
  // newest step stays whatever it holds: its samples were the document's a moment ago.
  const auto drop = [this](std::deque<UndoStep>& steps) {
    heldBytes_ -= HeldBytesOf(steps.front());
    steps.pop_front();
  };
  while (undo_.size() + redo_.size() > kStepLimit) {
    drop(undo_.empty() ? redo_ : undo_);
  }
  if (heldBytes_ == 0) return;
  const uint64_t limit = ByteLimit();
  while (heldBytes_ > limit && undo_.size() + redo_.size() > 1) {
    drop(undo_.size() > 1 || redo_.empty() ? undo_ : redo_);
  }
}

}  // namespace velmora
