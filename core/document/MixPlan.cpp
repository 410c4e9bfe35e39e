#include "document/MixPlan.h"

#include <algorithm>
#include <limits>

namespace velmora {

MixSource MixSourceOf(const ChannelSlot& slot) {
  MixSource source;
  source.data = slot.HasData() ? slot.data.data() : nullptr;
  source.frames = slot.frames;
  source.channels = slot.header.channels;
  source.bits = slot.header.bitsPerSample;
  source.rate = slot.header.samplesPerSec > 0 ? slot.Rate() : 0;
  source.selected = slot.selected;
  source.level = slot.level;
  source.autoLevel = slot.autoLevel;
  source.balance = slot.balance;
  source.offset = slot.offset;
  return source;
}

MixChannels MixChannelsOf(const std::array<ChannelSlot, kChannelCount>& slots_) {
  MixChannels channels;
  for (int i = 0; i < kChannelCount; ++i) channels[i] = MixSourceOf(slots_[i]);
  return channels;
}

MixFormat OutputFormatOf(const MixChannels& channels) {
  MixFormat format;
  for (const MixSource& channel : channels) {
    if (channel.data == nullptr) continue;
    format.rate = std::max(format.rate, channel.rate);
    format.bits = std::max(format.bits, channel.bits == 16 ? 16 : 8);
  }
  return format;
}

uint32_t SaveBlockFrames(uint32_t mixRate) {
  switch (mixRate) {
    case 192000:
      return 16384;
    case 96000:
      return 8192;
    case 22050:
      return 2048;
    case 11025:
      return 1024;
    default:  // 48000, 44100 and every rate the table does not name
      return 4096;
  }
}

MixPlan PlanMix(const MixChannels& channels, const MixSettings& settings,
                std::optional<uint32_t> blockFrames) {
  MixPlan plan;
  plan.format = OutputFormatOf(channels);
  if (plan.format.rate == 0) return plan;

  MixJob& job = plan.job;
  job.sources = channels;
  job.fadeIn = settings.fadeIn;
  job.fadeOut = settings.fadeOut;
  job.monoPlayback = settings.monoPlayback;
  job.rate = plan.format.rate;
  job.bits = plan.format.bits;
  const uint64_t frames = MixLength(job.sources, job.rate);
  // An empty mix is no mix: there is nothing to play, and Save writes a file of no samples.
  if (frames == 0) {
    plan.outcome = MixBuild::Empty;
    return plan;
  }
  if (frames < settings.position) {
    plan.outcome = MixBuild::PositionBeyondEnd;
    return plan;
  }
  // Frame indexes are 32-bit: a longer mix cannot be held or written.
  if (frames > std::numeric_limits<uint32_t>::max()) {
    plan.outcome = MixBuild::TooLong;
    return plan;
  }
  job.frames = static_cast<uint32_t>(frames);
  job.blockFrames = std::max<uint32_t>(blockFrames.value_or(SaveBlockFrames(job.rate)), 1);
  job.position = settings.position >= job.frames ? 0 : settings.position;
  plan.outcome = MixBuild::Built;
  return plan;
}

}  // namespace velmora
