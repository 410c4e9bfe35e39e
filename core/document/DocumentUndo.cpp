// The steps the user can undo: each user change applied as a step, and steps taken back and
// done again.

#include <algorithm>
#include <iterator>
#include <utility>

#include "document/VelmoraDoc.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

// Moves of one control on one channel join into one step.
enum MergeKind { kMergeLevel, kMergeBalance, kMergeOffset };
int MergeKey(MergeKind kind, int channel) {
  return kind * kChannelCount + channel;
}

}  // namespace

UndoStep CVelmoraDoc::ApplyAll(std::vector<DocumentChange> changes, std::string name) {
  const MarksChange marksBefore{startMark_, endMark_};
  UndoStep back{std::move(name), {}};
  back.changes.reserve(changes.size() + 1);
  for (DocumentChange& change : changes) back.changes.push_back(Apply(std::move(change)));
  // A load or an emptied document clears the marks; taken back last, they return too.
  if (startMark_ != marksBefore.start || endMark_ != marksBefore.end) {
    back.changes.insert(back.changes.begin(), marksBefore);
  }
  return back;
}

void CVelmoraDoc::ApplyStep(std::vector<DocumentChange> changes, std::string name,
                            std::optional<int> mergeKey) {
  if (changes.empty()) return;
  if (name.empty()) name = StepNameOf(changes.front());
  // A setting written back as it stands (a field refreshed from the document) is no step.
  const bool changesSomething =
      std::any_of(changes.begin(), changes.end(),
                  [this](const DocumentChange& change) { return WouldChange(change); });
  applyFailed_ = false;
  UndoStep back = ApplyAll(std::move(changes), std::move(name));
  // A change that failed changed nothing (applyFailed_ stays set for the caller).
  if (!applyFailed_ && changesSomething) history_.Record(std::move(back), mergeKey);
}

bool CVelmoraDoc::WouldChange(const DocumentChange& change) const {
  struct Visitor {
    const CVelmoraDoc& doc;
    bool operator()(const LevelChange& c) const { return doc.slot(c.channel).level != c.level; }
    bool operator()(const BalanceChange& c) const {
      return doc.slot(c.channel).balance != c.balance;
    }
    bool operator()(const OffsetChange& c) const {
      return doc.slot(c.channel).offset != c.milliseconds;
    }
    bool operator()(const SelectionChange& c) const {
      return doc.slot(c.channel).selected != c.selected;
    }
    bool operator()(const FadeChange& c) const {
      const FadeSetting& now =
          (c.direction == FadeChange::Direction::In ? doc.fadeIn() : doc.fadeOut())[c.index];
      return now != c.fade;
    }
    bool operator()(const MonoPlaybackChange& c) const { return doc.monoPlayback() != c.on; }
    bool operator()(const MarksChange& c) const {
      return doc.startMark() != c.start || doc.endMark() != c.end;
    }
    bool operator()(const OutputPathChange& c) const { return doc.outputPath() != c.path; }
    bool operator()(const ChannelContentChange&) const { return true; }
    bool operator()(const TrimChange&) const { return true; }
  };
  return std::visit(Visitor{*this}, change);
}

bool CVelmoraDoc::Undo() {
  return TakeBack(true);
}

bool CVelmoraDoc::Redo() {
  return TakeBack(false);
}

bool CVelmoraDoc::TakeBack(bool undo) {
  std::optional<UndoStep> step = undo ? history_.TakeUndo() : history_.TakeRedo();
  if (!step) return false;
  std::vector<DocumentChange> changes(std::make_move_iterator(step->changes.rbegin()),
                                      std::make_move_iterator(step->changes.rend()));
  applyFailed_ = false;
  UndoStep opposite = ApplyAll(std::move(changes), std::move(step->name));
  if (applyFailed_) {
    // Only a trim's change can fail, and it is a step alone: it came back unapplied.
    applyFailed_ = false;
    std::reverse(opposite.changes.begin(), opposite.changes.end());
    if (undo) {
      history_.PushUndo(std::move(opposite));
    } else {
      history_.PushRedo(std::move(opposite));
    }
    ui_.ShowError(msg::kOutOfMemory);
    return false;
  }
  endMarkRestored_ = !HasMix() && endMark_ != 0;
  std::vector<DocumentNotice> notices;
  notices.reserve(opposite.changes.size());
  for (const DocumentChange& change : opposite.changes) notices.push_back(NoticeOf(change));
  if (undo) {
    history_.PushRedo(std::move(opposite));
  } else {
    history_.PushUndo(std::move(opposite));
  }
  SetModifiedFlag(HasAnyChannel());
  for (const DocumentNotice& notice : notices) UpdateAllViews(notice);
  return true;
}

void CVelmoraDoc::SetLevel(int index, int32_t level) {
  ApplyStep(ChangeList(LevelChange{index, level}), {}, MergeKey(kMergeLevel, index));
}

void CVelmoraDoc::SetBalance(int index, int32_t balance) {
  ApplyStep(ChangeList(BalanceChange{index, balance}), {}, MergeKey(kMergeBalance, index));
}

void CVelmoraDoc::SetOffset(int index, int32_t milliseconds) {
  ApplyStep(ChangeList(OffsetChange{index, milliseconds}), {}, MergeKey(kMergeOffset, index));
}

void CVelmoraDoc::SetSelected(int index, bool selected) {
  ApplyStep(ChangeList(SelectionChange{index, selected}));
}

void CVelmoraDoc::SetMonoPlayback(bool on) {
  ApplyStep(ChangeList(MonoPlaybackChange{on}));
}

void CVelmoraDoc::SetFadeIn(int index, FadeSetting fade) {
  ApplyStep(ChangeList(FadeChange{FadeChange::Direction::In, index, fade}));
}

void CVelmoraDoc::SetFadeOut(int index, FadeSetting fade) {
  ApplyStep(ChangeList(FadeChange{FadeChange::Direction::Out, index, fade}));
}

void CVelmoraDoc::SetStartMark(uint32_t frame) {
  ApplyStep(ChangeList(MarksChange{frame, endMark_}), "開始マーク");
}

void CVelmoraDoc::SetEndMark(uint32_t frame) {
  ApplyStep(ChangeList(MarksChange{startMark_, frame}), "終了マーク");
}

}  // namespace velmora
