#pragma once
// Every decision that makes a mix, taken in one place: from the loaded channels and their
// settings, the output format, the mix length, the block length of the peak table, the frame the
// mixing starts from and what each channel contributes. The document's build and velmora-mix's
// streaming render both make the mix a plan describes, so that their bytes, correction runs and
// peak tables cannot drift apart; the kernel mixes the plan's job as it is handed.

#include <array>
#include <cstdint>
#include <optional>

#include "document/ChannelSlot.h"
#include "mixdown/FadeCurve.h"
#include "mixdown/Mixdown.h"

namespace velmora {

// The format a mix is made in: stereo, `rate` Hz, `bits` 8 or 16. Rate 0 = no mix.
struct MixFormat {
  uint32_t rate = 0;
  int bits = 0;
  uint32_t FrameBytes() const { return 2 * static_cast<uint32_t>(bits / 8); }
};

// What a build of the mix did, or why a plan makes no mix. Only Built and Building leave a mix
// (being built, for Building).
enum class MixBuild {
  Built,              // built here; the mix is current
  Building,           // the worker builds it: started now, or a worker build was running
  AlreadyCurrent,     // the mix was current and stays
  NoChannels,         // no slot holds data
  Empty,              // the loaded channels make a mix of no frames
  PositionBeyondEnd,  // the play position lies beyond the end of the new mix
  OutOfMemory,        // the document has shown its out-of-memory message
  TooLong,            // more frames than a mix can count; shown as out of memory
};

// What the whole mix is made with, beside its channels.
struct MixSettings {
  FadeSettings fadeIn{};  // index 0..3 = channel 1..4, kWholeMix = the whole mix
  FadeSettings fadeOut{};
  bool monoPlayback = false;
  uint32_t position = 0;  // the play position, where the mixing starts
};

// The channels as a plan reads them: a loaded channel has samples (its data is not null: its
// samples in memory, or the window a streaming render reads them into), the others none.
using MixChannels = std::array<MixSource, kChannelCount>;

// One slot's part in the mix: its format, frames and mixer parameters, and its samples when it
// holds them.
MixSource MixSourceOf(const ChannelSlot& slot);
MixChannels MixChannelsOf(const std::array<ChannelSlot, kChannelCount>& slots_);

// The output format of the loaded channels: the highest rate, and 16 bits when any channel has
// them. Rate 0 and bits 0 when none is loaded.
MixFormat OutputFormatOf(const MixChannels& channels);

// The block length of the peak table when none is asked for: the one a mix built for saving gets
// at its rate, 4096 frames for rates outside the table.
uint32_t SaveBlockFrames(uint32_t mixRate);

struct MixPlan {
  // Built: `job` describes a mix to make. Otherwise why none is made: NoChannels, Empty,
  // PositionBeyondEnd, or TooLong (more frames than a 32-bit frame index counts).
  MixBuild outcome = MixBuild::NoChannels;
  // The output format, for an empty mix too (saved as a file with no samples).
  MixFormat format;
  // All the kernel reads: each channel's samples, level against its automatic level, balance,
  // offset, selection and fades; the whole mix's fades, mono playback, format, length, the block
  // length of the peak table, and the frame the mixing starts from (the play position, or 0 for
  // a position at the end).
  MixJob job;

  bool MakesMix() const { return outcome == MixBuild::Built; }
  int SampleBytes() const { return job.bits / 8; }
  uint64_t PcmBytes() const { return uint64_t{job.frames} * format.FrameBytes(); }
  uint64_t PeakEntries() const { return uint64_t{job.frames} / job.blockFrames + 1; }
};

// The plan of the mix of `channels` with `settings`. `blockFrames` is the peak table's block
// length (at least 1); absent, it is the one Save chooses by the mix rate.
MixPlan PlanMix(const MixChannels& channels, const MixSettings& settings,
                std::optional<uint32_t> blockFrames);

}  // namespace velmora
