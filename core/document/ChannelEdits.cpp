// Mono conversion, trimming to the marks and release of a channel. Each edit replaces or frees
// the slot's sample buffer, which a background mixdown may be reading: it waits for the worker
// (without stopping it, so that playback keeps a whole mix) right before the buffer changes.

#include <algorithm>
#include <cmath>

#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr const char* kConvertUnsaved =
    "変換元のデータは保存されていません。\n変換してもよろしいですか？";
constexpr const char* kTrimUnsaved =
    "切り詰め前のデータは保存されていません。\n切り詰め処理を行ってもよろしいですか？";
constexpr const char* kOutOfChannel = "チャンネルの範囲外です!";
constexpr double kPi = 3.1415926535;

int16_t Sample16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}
void Put16(uint8_t* p, int32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

// The mono sample of one stereo frame, weighted by the balance; 8-bit values are centred on 0.
int32_t MonoOf(int32_t left, int32_t right, int32_t balance, int32_t low, int32_t high) {
  const double m =
      (left * 2.0 * (kBalanceMax - balance) / 20.0 + right * 2.0 * balance / 20.0) * 0.5;
  return std::clamp(static_cast<int32_t>(m), low, high);
}

void ConvertFramesToMono(const uint8_t* stereo, uint8_t* mono, std::size_t frames, bool is16Bit,
                         int32_t balance) {
  for (std::size_t f = 0; f < frames; ++f) {
    if (is16Bit) {
      const int32_t m =
          MonoOf(Sample16(stereo + 4 * f), Sample16(stereo + 4 * f + 2), balance, -32768, 32767);
      Put16(mono + 2 * f, m);
    } else {
      const int32_t m = MonoOf(stereo[2 * f] - 128, stereo[2 * f + 1] - 128, balance, -128, 127);
      mono[f] = static_cast<uint8_t>(m + 128);
    }
  }
}

// sin of a whole number of degrees, with the program's value of π.
double SineDegrees(int64_t degrees) {
  return std::sin(static_cast<double>(degrees) * kPi / 180.0);
}

// What trimming keeps of a channel, in channel frames: [head, tail), with edge fades.
struct TrimPlan {
  int64_t head = 0;
  int64_t tail = 0;
  int64_t fadeIn = 0;   // frames
  int64_t fadeOut = 0;  // frames
  bool headCut = false;
  int64_t Length() const { return tail - head; }
};

// The marks are mix frames; each channel frame covers k mix frames and the channel starts oi
// mix frames into the mix. An end mark of 0 is no end mark (the end of the mix).
TrimPlan PlanTrim(const ChannelSlot& slot, uint32_t mixRate, uint32_t startMark, uint32_t endMark) {
  const int64_t rate = slot.Rate();
  const int64_t k =
      std::max<int64_t>(1, static_cast<int64_t>(mixRate) / std::max<int64_t>(1, rate));
  const auto oi = static_cast<int64_t>(static_cast<double>(mixRate) * slot.offset / 1000.0);
  TrimPlan plan;
  if (static_cast<int64_t>(startMark) - oi > 0) {
    plan.head = (static_cast<int64_t>(startMark) - oi) / k;
    plan.fadeIn = rate / 100;
    plan.headCut = true;
  }
  const int64_t lastInMix = (static_cast<int64_t>(slot.frames) - 1) * k + oi;
  if (endMark != 0 && static_cast<int64_t>(endMark) < lastInMix) {
    plan.tail = (static_cast<int64_t>(endMark) - oi) / k;
    plan.fadeOut = rate / 100;
  } else {
    plan.tail = slot.frames;
  }
  return plan;
}

// Sample s of c × n interleaved samples, faded in over the first c × fi and out over the last
// c × fo samples by integer-degree sines; products truncate toward zero.
int32_t FadeEdges(int32_t value, int64_t s, int64_t c, int64_t n, int64_t fi, int64_t fo) {
  if (s < c * fi) value = static_cast<int32_t>(value * SineDegrees(90 * s / (c * fi)));
  if (c * n - s < c * fo) {
    value = static_cast<int32_t>(value * SineDegrees(90 + 90 * (s - c * (n - fo)) / (c * fo)));
  }
  return value;
}

// Frames [first, first + count) of the trimmed channel, written to `out`.
void CopyTrimmed(const ChannelSlot& slot, const TrimPlan& plan, int64_t first, int64_t count,
                 uint8_t* out) {
  const int64_t c = slot.IsStereo() ? 2 : 1;
  const int64_t n = plan.Length();
  if (slot.Is16Bit()) {
    const uint8_t* in = slot.data.data() + 2 * c * plan.head;
    for (int64_t s = c * first; s < c * (first + count); ++s) {
      Put16(out + 2 * (s - c * first),
            FadeEdges(Sample16(in + 2 * s), s, c, n, plan.fadeIn, plan.fadeOut));
    }
  } else {
    const uint8_t* in = slot.data.data() + c * plan.head;
    for (int64_t s = c * first; s < c * (first + count); ++s) {
      out[s - c * first] =
          static_cast<uint8_t>(FadeEdges(in[s] - 128, s, c, n, plan.fadeIn, plan.fadeOut) + 128);
    }
  }
}

// The trim as a change of the channel's ends: the faded edges of what it keeps replace all it
// cuts or fades, and the frames between stay where they are.
bool PlanEnds(const ChannelSlot& slot, const TrimPlan& plan, TrimChange& change) {
  const int64_t n = plan.Length();
  const int64_t headFrames = std::min(plan.fadeIn, n);
  const int64_t tailFrames = std::min(plan.fadeOut, n - headFrames);
  const std::size_t frameBytes = static_cast<std::size_t>(slot.FrameBytes());
  if (!change.head.Allocate(frameBytes * static_cast<std::size_t>(headFrames)) ||
      !change.tail.Allocate(frameBytes * static_cast<std::size_t>(tailFrames))) {
    return false;
  }
  CopyTrimmed(slot, plan, 0, headFrames, change.head.data());
  CopyTrimmed(slot, plan, n - tailFrames, tailFrames, change.tail.data());
  change.dropHead = static_cast<uint32_t>(plan.head + headFrames);
  change.dropTail = static_cast<uint32_t>(slot.frames - (plan.tail - tailFrames));

  // The level of the trimmed channel, from its three parts.
  const int bits = slot.header.bitsPerSample;
  const uint64_t samplesPerFrame = slot.IsStereo() ? 2 : 1;
  const uint64_t middleFrames = static_cast<uint64_t>(n - headFrames - tailFrames);
  const int32_t peak =
      std::max({PeakOfSamples(change.head.data(), samplesPerFrame * headFrames, bits),
                PeakOfSamples(slot.data.data() + frameBytes * change.dropHead,
                              samplesPerFrame * middleFrames, bits),
                PeakOfSamples(change.tail.data(), samplesPerFrame * tailFrames, bits)});
  change.autoLevel = AutoLevelFromPeak(peak, bits);
  change.level = change.autoLevel;
  return true;
}

}  // namespace

bool CVelmoraDoc::ConvertToMono(int index) {
  const ChannelSlot& slot = slots_[index];
  if (!slot.HasData() || !slot.IsStereo()) return false;
  if (slot.path.empty() && ui_.ShowMessage(kConvertUnsaved, MessageIcon::Warning,
                                           MessageButtons::YesNo) != Answer::Yes) {
    return false;
  }
  const int bytesPerSample = slot.Is16Bit() ? 2 : 1;
  ByteBuffer mono;
  if (!mono.Allocate(static_cast<std::size_t>(bytesPerSample) * slot.frames)) {
    ui_.ShowError(msg::kOutOfMemory);
    return false;
  }
  WaitCursor wait(ui_);
  ConvertFramesToMono(slot.data.data(), mono.data(), slot.frames, slot.Is16Bit(), slot.balance);

  ChannelSlot edited = slot.WithSamples(std::move(mono));
  edited.autoLevel =
      AutoLevelFromSamples(edited.data.data(), edited.frames, 1, edited.header.bitsPerSample);
  edited.level = edited.autoLevel;
  edited.header.channels = 1;
  edited.header.blockAlign = static_cast<int16_t>(bytesPerSample);
  edited.header.avgBytesPerSec = edited.header.samplesPerSec * bytesPerSample;
  edited.dataChunk.size = edited.frames * static_cast<uint32_t>(bytesPerSample);
  edited.header.riffSize = edited.dataChunk.size + 36;
  ApplyStep(ChangeList(ChannelContentChange{index, std::move(edited), ChannelEvent::Edited}));
  return true;
}

void CVelmoraDoc::TrimToMarks(int index) {
  const ChannelSlot& slot = slots_[index];
  if (!slot.HasData()) return;
  if (slot.path.empty() &&
      ui_.ShowMessage(kTrimUnsaved, MessageIcon::Warning, MessageButtons::YesNo) != Answer::Yes) {
    return;
  }
  WaitCursor wait(ui_);
  // The marks are frames of the mix as it was built, which a later load does not rebuild.
  const uint32_t mixRate = HasMix() ? mixFormat_.rate : MixRate();
  const TrimPlan plan = PlanTrim(slot, mixRate, startMark_, endMark_);
  // A plan that keeps no frame would leave an empty channel: the marks miss the channel.
  if (plan.Length() <= 0) {
    ui_.ShowError(kOutOfChannel);
    return;
  }
  TrimChange trim{index, 0, 0, {}, {}, 0, 0, slot.offset};
  if (!PlanEnds(slot, plan, trim)) {
    ui_.ShowError(msg::kOutOfMemory);
    return;
  }
  if (plan.headCut && mixRate > 0) {
    trim.offset = static_cast<int32_t>(static_cast<int64_t>(startMark_) * 1000 / mixRate);
  }
  ApplyStep(ChangeList(std::move(trim)));
  if (applyFailed_) {
    applyFailed_ = false;
    ui_.ShowError(msg::kOutOfMemory);
    return;
  }
  UpdateAllViews(DocumentNotice::Content(index, ChannelEvent::Edited));
}

bool CVelmoraDoc::ReleaseChannel(int index) {
  const ChannelSlot& slot = slots_[index];
  if (!slot.HasData()) return false;
  if (slot.path.empty()) {
    const Answer answer = ui_.ShowMessage(Format(msg::kUnsavedChannel, index + 1),
                                          MessageIcon::Warning, MessageButtons::YesNoCancel);
    if (answer == Answer::Cancel) return false;
    if (answer == Answer::Yes && !SaveChannel(index)) return false;
  }
  // The channel's fade settings are the document's and stay; with no channel left the mix, the
  // marks and the output format go too.
  ApplyStep(ChangeList(ChannelContentChange{index, ChannelSlot{}, ChannelEvent::Released}));
  if (HasAnyChannel()) SetModifiedFlag(true);
  UpdateAllViews(DocumentNotice::Content(index, ChannelEvent::Released));
  return true;
}

}  // namespace velmora
