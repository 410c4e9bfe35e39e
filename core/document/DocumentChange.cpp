// The document's one way of changing: each change applied, and the change that undoes it.

#include "document/DocumentChange.h"

#include <utility>

#include "document/VelmoraDoc.h"

namespace velmora {

namespace {

// A setting's change: the new value in, the old one back out.
template <typename Change, typename Value>
Change Swap(Change change, Value& field, Value Change::*value) {
  std::swap(field, change.*value);
  return change;
}

}  // namespace

DocumentChange CVelmoraDoc::Apply(DocumentChange change) {
  return std::visit([this](auto&& one) -> DocumentChange { return ApplyOne(std::move(one)); },
                    std::move(change));
}

DocumentChange CVelmoraDoc::ApplyOne(LevelChange change) {
  SetMixStale(true);
  return Swap(change, slots_[change.channel].level, &LevelChange::level);
}

DocumentChange CVelmoraDoc::ApplyOne(BalanceChange change) {
  SetMixStale(true);
  return Swap(change, slots_[change.channel].balance, &BalanceChange::balance);
}

DocumentChange CVelmoraDoc::ApplyOne(OffsetChange change) {
  SetMixStale(true);
  return Swap(change, slots_[change.channel].offset, &OffsetChange::milliseconds);
}

DocumentChange CVelmoraDoc::ApplyOne(SelectionChange change) {
  SetMixStale(true);
  return Swap(change, slots_[change.channel].selected, &SelectionChange::selected);
}

DocumentChange CVelmoraDoc::ApplyOne(FadeChange change) {
  FadeSettings& fades = change.direction == FadeChange::Direction::In ? fadeIn_ : fadeOut_;
  SetMixStale(true);
  return Swap(change, fades[change.index], &FadeChange::fade);
}

DocumentChange CVelmoraDoc::ApplyOne(MonoPlaybackChange change) {
  SetMixStale(true);
  return Swap(change, monoPlayback_, &MonoPlaybackChange::on);
}

DocumentChange CVelmoraDoc::ApplyOne(MarksChange change) {
  std::swap(startMark_, change.start);
  std::swap(endMark_, change.end);
  return change;
}

DocumentChange CVelmoraDoc::ApplyOne(OutputPathChange change) {
  std::swap(outputPath_, change.path);
  return change;
}

DocumentChange CVelmoraDoc::ApplyOne(ChannelContentChange change) {
  // A background build reads the samples being replaced.
  WaitForWorker(false);
  ChannelSlot& slot = slots_[change.channel];
  std::swap(slot, change.content);
  change.why = ChannelEvent::Restored;
  SetMixStale(true);
  if (!HasAnyChannel()) {
    // Nothing left to mix: no mix, no marks, no output format.
    ResetMix();
    startMark_ = endMark_ = position_ = 0;
    outHeader_ = OutHeader{};
  } else if (slot.HasData()) {
    UpdateOutputFormat();
  }
  return change;
}

DocumentNotice NoticeOf(const DocumentChange& change) {
  struct Visitor {
    DocumentNotice operator()(const LevelChange& c) const {
      return DocumentNotice::Settings(c.channel);
    }
    DocumentNotice operator()(const BalanceChange& c) const {
      return DocumentNotice::Settings(c.channel);
    }
    DocumentNotice operator()(const OffsetChange& c) const {
      return DocumentNotice::Settings(c.channel);
    }
    DocumentNotice operator()(const SelectionChange& c) const {
      return DocumentNotice::Settings(c.channel);
    }
    DocumentNotice operator()(const FadeChange& c) const {
      return c.index == kWholeMix ? DocumentNotice::Refresh() : DocumentNotice::Settings(c.index);
    }
    DocumentNotice operator()(const ChannelContentChange& c) const {
      return DocumentNotice::Content(c.channel, c.why);
    }
    DocumentNotice operator()(const MonoPlaybackChange&) const { return DocumentNotice::Refresh(); }
    DocumentNotice operator()(const MarksChange&) const { return DocumentNotice::Refresh(); }
    DocumentNotice operator()(const OutputPathChange&) const { return DocumentNotice::Refresh(); }
  };
  return std::visit(Visitor{}, change);
}

}  // namespace velmora
