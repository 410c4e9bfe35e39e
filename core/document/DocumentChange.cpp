// The document's one way of changing: each change applied, and the change that undoes it.

#include "document/DocumentChange.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "document/VelmoraDoc.h"
#include "io/Format.h"

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
  // `change` is this call's own: each alternative is moved out of it.
  return std::visit([this](auto& one) -> DocumentChange { return ApplyOne(std::move(one)); },
                    change);
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

DocumentChange CVelmoraDoc::ApplyOne(TrimChange change) {
  // A background build reads the samples being replaced.
  WaitForWorker(false);
  ChannelSlot& slot = slots_[change.channel];
  const std::size_t frameBytes = static_cast<std::size_t>(std::max(slot.FrameBytes(), 1));
  const std::size_t headBytes = std::size_t{change.dropHead} * frameBytes;
  const std::size_t keptEnd = std::size_t{slot.frames - change.dropTail} * frameBytes;
  const std::size_t middleBytes = keptEnd - headBytes;
  TrimChange undo{change.channel,
                  static_cast<uint32_t>(change.head.size() / frameBytes),
                  static_cast<uint32_t>(change.tail.size() / frameBytes),
                  {},
                  {},
                  slot.level,
                  slot.autoLevel,
                  slot.offset};
  ByteBuffer samples;
  if (!undo.head.Allocate(headBytes) || !undo.tail.Allocate(slot.data.size() - keptEnd) ||
      !samples.Allocate(change.head.size() + middleBytes + change.tail.size())) {
    // Nothing changes: the change stays as it was, to be tried again.
    applyFailed_ = true;
    return change;
  }
  std::memcpy(undo.head.data(), slot.data.data(), headBytes);
  std::memcpy(undo.tail.data(), slot.data.data() + keptEnd, undo.tail.size());
  uint8_t* to = samples.data();
  std::memcpy(to, change.head.data(), change.head.size());
  to += change.head.size();
  std::memcpy(to, slot.data.data() + headBytes, middleBytes);
  std::memcpy(to + middleBytes, change.tail.data(), change.tail.size());
  slot.data = std::move(samples);
  slot.frames = static_cast<uint32_t>(slot.data.size() / frameBytes);
  slot.level = change.level;
  slot.autoLevel = change.autoLevel;
  slot.offset = change.offset;
  SetMixStale(true);
  return undo;
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
    DocumentNotice operator()(const TrimChange& c) const {
      return DocumentNotice::Content(c.channel, ChannelEvent::Edited);
    }
    DocumentNotice operator()(const MonoPlaybackChange&) const { return DocumentNotice::Refresh(); }
    DocumentNotice operator()(const MarksChange&) const { return DocumentNotice::Refresh(); }
    DocumentNotice operator()(const OutputPathChange&) const { return DocumentNotice::Refresh(); }
  };
  return std::visit(Visitor{}, change);
}

std::string StepNameOf(const DocumentChange& change) {
  struct Visitor {
    static std::string OfChannel(const char* what, int channel) {
      return channel == kWholeMix ? Format("%s (全体)", what)
                                  : Format("%s (Ch%d)", what, channel + 1);
    }
    std::string operator()(const LevelChange& c) const { return OfChannel("レベル", c.channel); }
    std::string operator()(const BalanceChange& c) const {
      return OfChannel("バランス", c.channel);
    }
    std::string operator()(const OffsetChange& c) const {
      return OfChannel("オフセット", c.channel);
    }
    std::string operator()(const SelectionChange& c) const {
      return OfChannel("チャンネル選択", c.channel);
    }
    std::string operator()(const FadeChange& c) const {
      return OfChannel(c.direction == FadeChange::Direction::In ? "フェードイン" : "フェードアウト",
                       c.index);
    }
    std::string operator()(const MonoPlaybackChange&) const { return "モノラル再生"; }
    std::string operator()(const MarksChange&) const { return "マーク"; }
    std::string operator()(const OutputPathChange&) const { return "保存先"; }
    std::string operator()(const TrimChange& c) const { return OfChannel("切り詰め", c.channel); }
    std::string operator()(const ChannelContentChange& c) const {
      switch (c.why) {
        case ChannelEvent::Loaded:
          return OfChannel("読み込み", c.channel);
        case ChannelEvent::Recorded:
        case ChannelEvent::Recovered:
          return OfChannel("録音", c.channel);
        case ChannelEvent::Edited:
          return OfChannel("モノラル変換", c.channel);
        case ChannelEvent::Released:
          return OfChannel("解放", c.channel);
        case ChannelEvent::Restored:
          break;
      }
      return OfChannel("チャンネル", c.channel);
    }
  };
  return std::visit(Visitor{}, change);
}

}  // namespace velmora
