#include "mixer/Mixdown.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace velmora {

namespace {

constexpr uint32_t kSineSteps = 90;

int64_t CeilDiv(int64_t numerator, int64_t denominator) {
  return (numerator + denominator - 1) / denominator;
}

// Signed value of a raw sample: the 16-bit pattern, or the byte around 128.
int32_t SampleValue(uint32_t raw, bool wide) {
  return wide ? static_cast<int16_t>(raw) : static_cast<int32_t>(raw) - 128;
}

template <bool kWide>
inline uint32_t RawAt(const uint8_t* p) {
  if constexpr (kWide) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
  } else {
    return p[0];
  }
}

// Reads one source frame and looks up its two contributions. The gain tables hold, per raw
// sample value, the value the level and balance law gives, so the loop does no floating point
// except for folding stereo to mono, which depends on both sides at once.
template <bool kWide, bool kStereo, bool kFold>
struct FrameReader {
  static constexpr uint32_t kSampleBytes = kWide ? 2 : 1;
  static constexpr uint32_t kFrameBytes = kSampleBytes * (kStereo ? 2 : 1);
  const int32_t* left;
  const int32_t* right;
  int32_t balance;

  inline void Read(const uint8_t* p, int32_t& lc, int32_t& rc) const {
    if constexpr (!kStereo) {
      const uint32_t raw = RawAt<kWide>(p);
      lc = left[raw];
      rc = right[raw];
    } else if constexpr (!kFold) {
      lc = left[RawAt<kWide>(p)];
      rc = right[RawAt<kWide>(p + kSampleBytes)];
    } else {
      const int32_t l = SampleValue(RawAt<kWide>(p), kWide);
      const int32_t r = SampleValue(RawAt<kWide>(p + kSampleBytes), kWide);
      const auto m = static_cast<int32_t>(0.5 * (static_cast<double>(l * 2 * (20 - balance)) / 20 +
                                                 static_cast<double>(r * 2 * balance) / 20));
      // The mask only matters for a balance outside 0..20, where it keeps the read in the table.
      const uint32_t index =
          kWide ? static_cast<uint16_t>(m) : static_cast<uint32_t>(m + 128) & 0xFF;
      lc = rc = left[index];
    }
  }
};

// Writes (or adds) the contributions of `count` output frames; each source frame is held for
// `ratio` output frames, the first one for ratio − phase.
template <bool kAdd, class Reader>
void MixSpan(const Reader& reader, const uint8_t* p, uint32_t ratio, uint32_t phase, uint32_t count,
             int32_t* outLeft, int32_t* outRight) {
  int32_t lc = 0;
  int32_t rc = 0;
  if (ratio == 1) {
    for (uint32_t i = 0; i < count; ++i, p += Reader::kFrameBytes) {
      reader.Read(p, lc, rc);
      if constexpr (kAdd) {
        outLeft[i] += lc;
        outRight[i] += rc;
      } else {
        outLeft[i] = lc;
        outRight[i] = rc;
      }
    }
    return;
  }
  uint32_t i = 0;
  while (i < count) {
    reader.Read(p, lc, rc);
    const uint32_t held = std::min(count, i + (ratio - phase));
    for (; i < held; ++i) {
      if constexpr (kAdd) {
        outLeft[i] += lc;
        outRight[i] += rc;
      } else {
        outLeft[i] = lc;
        outRight[i] = rc;
      }
    }
    phase = 0;
    p += Reader::kFrameBytes;
  }
}

template <bool kAdd, bool kWide, bool kStereo, bool kFold>
void MixLaneSpan(const MixKernel::Lane& lane, const uint8_t* p, uint32_t phase, uint32_t count,
                 int32_t* outLeft, int32_t* outRight) {
  const int32_t* left = lane.gainLeft.data();
  const int32_t* right = lane.gainRight.empty() ? left : lane.gainRight.data();
  const FrameReader<kWide, kStereo, kFold> reader{left, right, lane.balance};
  MixSpan<kAdd>(reader, p, lane.place.ratio, phase, count, outLeft, outRight);
}

template <bool kAdd>
void DispatchLaneSpan(const MixKernel::Lane& lane, const uint8_t* p, uint32_t phase, uint32_t count,
                      int32_t* outLeft, int32_t* outRight) {
  if (lane.wide) {
    if (!lane.stereo)
      return MixLaneSpan<kAdd, true, false, false>(lane, p, phase, count, outLeft, outRight);
    if (lane.fold)
      return MixLaneSpan<kAdd, true, true, true>(lane, p, phase, count, outLeft, outRight);
    return MixLaneSpan<kAdd, true, true, false>(lane, p, phase, count, outLeft, outRight);
  }
  if (!lane.stereo)
    return MixLaneSpan<kAdd, false, false, false>(lane, p, phase, count, outLeft, outRight);
  if (lane.fold)
    return MixLaneSpan<kAdd, false, true, true>(lane, p, phase, count, outLeft, outRight);
  return MixLaneSpan<kAdd, false, true, false>(lane, p, phase, count, outLeft, outRight);
}

void Scale(int32_t* left, int32_t* right, uint32_t count, double factor) {
  for (uint32_t i = 0; i < count; ++i) {
    left[i] = static_cast<int32_t>(left[i] * factor);
    right[i] = static_cast<int32_t>(right[i] * factor);
  }
}

// Applies a fade to `count` frames whose progress into the fade (frames since its start) begins
// at `progress`; progress stays below `length`. Sine curves hold each step's factor over the run
// of frames that share the step.
void ApplyFade(int32_t* left, int32_t* right, uint32_t count, FadeCurve curve, bool fadeOut,
               uint32_t length, uint64_t progress, const std::array<double, kSineSteps>& steps) {
  if (count == 0) return;
  if (curve == FadeCurve::Linear) {
    for (uint32_t i = 0; i < count; ++i, ++progress) {
      const uint64_t x = fadeOut ? length - progress : progress;
      const double factor = static_cast<double>(x) / length;
      left[i] = static_cast<int32_t>(left[i] * factor);
      right[i] = static_cast<int32_t>(right[i] * factor);
    }
    return;
  }
  if (curve != FadeCurve::Convex && curve != FadeCurve::Concave) return;
  uint32_t i = 0;
  while (i < count) {
    const uint64_t step = progress * kSineSteps / length;
    const uint64_t nextStep = ((step + 1) * length + kSineSteps - 1) / kSineSteps;
    const auto run = static_cast<uint32_t>(std::min<uint64_t>(count - i, nextStep - progress));
    Scale(left + i, right + i, run, steps[step]);
    i += run;
    progress += run;
  }
}

// The part [first, stop) of a fade region that lies in [from, to), as an offset and a count.
struct Overlap {
  int64_t first = 0;
  uint32_t count = 0;
};

Overlap Intersect(int64_t from, int64_t to, int64_t first, int64_t stop) {
  const int64_t a = std::max(from, first);
  const int64_t b = std::min(to, stop);
  if (a >= b) return {};
  return {a, static_cast<uint32_t>(b - a)};
}

}  // namespace

ChannelPlacement PlaceChannel(const MixSource& source, uint32_t mixRate) {
  ChannelPlacement place;
  if (source.rate == 0) return place;
  place.ratio = mixRate / source.rate;
  place.offsetOut = static_cast<int64_t>(mixRate) * source.offset / 1000;
  place.offsetChan = static_cast<int64_t>(source.offset) * source.rate / 1000;
  place.end = static_cast<int64_t>(source.frames) * place.ratio + place.offsetOut;
  place.length = (static_cast<int64_t>(source.frames) + place.offsetChan) * place.ratio;
  return place;
}

uint64_t MixLength(const std::array<MixSource, kMixSources>& sources, uint32_t mixRate) {
  int64_t longest = 0;
  for (const MixSource& source : sources) {
    if (source.data == nullptr) continue;
    longest = std::max(longest, PlaceChannel(source, mixRate).length);
  }
  return static_cast<uint64_t>(longest);
}

bool MixKernel::Prepare(const MixJob& job) {
  job_ = job;
  job_.blockFrames = std::max<uint32_t>(job_.blockFrames, 1);
  const uint32_t rate = job_.rate;
  const bool mono = job_.monoPlayback != 0;
  mixInFrames_ = FadeFrames(job_.fadeIn[kWholeMix].time, rate);
  mixOutFrames_ = FadeFrames(job_.fadeOut[kWholeMix].time, rate);
  for (uint32_t s = 0; s < kSineSteps; ++s) {
    for (int curve = 0; curve < 2; ++curve) {
      steps_[curve][0][s] = FadeStepFactor(static_cast<FadeCurve>(curve), false, s);
      steps_[curve][1][s] = FadeStepFactor(static_cast<FadeCurve>(curve), true, s);
    }
  }
  try {
    for (int i = 0; i < kMixSources; ++i) {
      const MixSource& source = job_.sources[i];
      Lane& lane = lanes_[i];
      lane = Lane{};
      if (source.data == nullptr || source.selected == 0 || source.autoLevel == 200) continue;
      lane.place = PlaceChannel(source, rate);
      if (lane.place.ratio == 0) continue;
      int64_t first = 0;
      if (source.offset > 0) first = CeilDiv(static_cast<int64_t>(source.offset) * rate, 1000);
      if (lane.place.offsetChan > 0) {
        first = std::max(first, lane.place.offsetChan * lane.place.ratio);
      }
      const int64_t stop =
          std::min({static_cast<int64_t>(job_.frames), lane.place.end, lane.place.length});
      if (first >= stop) continue;
      lane.active = true;
      lane.first = first;
      lane.stop = stop;
      lane.data = source.data;
      lane.stereo = source.channels == 2;
      lane.wide = source.bits == 16;
      lane.fold = mono && lane.stereo;
      lane.scale8to16 = job_.bits == 16 && !lane.wide;
      lane.balance = source.balance;
      lane.gain = static_cast<double>(200 - source.level) / (200 - source.autoLevel);
      lane.inCurve = job_.fadeIn[i].curve;
      lane.outCurve = job_.fadeOut[i].curve;
      lane.inFrames = FadeFrames(job_.fadeIn[i].time, rate);
      lane.outFrames = FadeFrames(job_.fadeOut[i].time, rate);
      const std::size_t values = lane.wide ? 65536 : 256;
      lane.gainLeft.resize(values);
      if (!mono) lane.gainRight.resize(values);
    }
    sumLeft_.resize(kChunkFrames);
    sumRight_.resize(kChunkFrames);
    laneLeft_.resize(kChunkFrames);
    laneRight_.resize(kChunkFrames);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void MixKernel::BuildGainTables() {
  const bool mono = job_.monoPlayback != 0;
  for (Lane& lane : lanes_) {
    if (!lane.active) continue;
    const double g = lane.gain;
    const int32_t b = lane.balance;
    for (std::size_t raw = 0; raw < lane.gainLeft.size(); ++raw) {
      int32_t v = SampleValue(static_cast<uint32_t>(raw), lane.wide);
      if (lane.scale8to16) v *= 256;
      if (mono) {
        lane.gainLeft[raw] = static_cast<int32_t>(v * g);
      } else {
        lane.gainLeft[raw] = static_cast<int32_t>(static_cast<double>(v) * g * 2 * (20 - b) / 20);
        lane.gainRight[raw] = static_cast<int32_t>(static_cast<double>(v) * g * 2 * b / 20);
      }
    }
  }
}

void MixKernel::Run(const MixTarget& target) {
  BuildGainTables();
  target.peaks->FillSilence();
  const uint32_t total = job_.frames;
  if (total == 0) return;
  uint32_t frame = job_.position % total;
  uint32_t done = 0;
  uint32_t last = frame;
  while (done < total) {
    if (target.stop != nullptr && target.stop->load(std::memory_order_acquire) == 1) break;
    if (target.cursor != nullptr) target.cursor->store(frame, std::memory_order_release);
    const uint32_t count = std::min({kChunkFrames, total - frame, total - done});
    MixChunk(frame, count);
    StoreChunk(target, frame, count);
    last = frame + count - 1;
    done += count;
    frame += count;
    if (frame == total) frame = 0;
  }
  if (target.cursor != nullptr && done > 0) target.cursor->store(last, std::memory_order_release);
}

void MixKernel::MixChunk(uint32_t first, uint32_t count) {
  std::fill_n(sumLeft_.data(), count, 0);
  std::fill_n(sumRight_.data(), count, 0);
  for (const Lane& lane : lanes_) {
    if (lane.active) AddLane(lane, first, count);
  }
  ApplyMixFades(first, count);
}

void MixKernel::AddLane(const Lane& lane, uint32_t first, uint32_t count) {
  const int64_t from = std::max<int64_t>(first, lane.first);
  const int64_t to = std::min<int64_t>(static_cast<int64_t>(first) + count, lane.stop);
  if (from >= to) return;
  const ChannelPlacement& place = lane.place;
  const auto n = static_cast<uint32_t>(to - from);
  const auto at = static_cast<uint32_t>(from - first);
  const int64_t sourceFrame = from / place.ratio - place.offsetChan;
  const auto phase = static_cast<uint32_t>(from % place.ratio);
  const uint32_t frameBytes = (lane.wide ? 2 : 1) * (lane.stereo ? 2 : 1);
  const uint8_t* p = lane.data + static_cast<uint64_t>(sourceFrame) * frameBytes;

  // Fade-in covers 0 < frame − offsetOut < inFrames; fade-out covers end − frame < outFrames.
  const Overlap in = lane.inFrames == 0 ? Overlap{}
                                        : Intersect(from, to, place.offsetOut + 1,
                                                    place.offsetOut + lane.inFrames);
  const Overlap out = lane.outFrames == 0
                          ? Overlap{}
                          : Intersect(from, to, place.end - lane.outFrames + 1, place.end);
  if (in.count == 0 && out.count == 0) {
    DispatchLaneSpan<true>(lane, p, phase, n, sumLeft_.data() + at, sumRight_.data() + at);
    return;
  }
  int32_t* left = laneLeft_.data() + at;
  int32_t* right = laneRight_.data() + at;
  DispatchLaneSpan<false>(lane, p, phase, n, left, right);
  if (in.count != 0) {
    const auto skip = static_cast<uint32_t>(in.first - from);
    ApplyFade(left + skip, right + skip, in.count, lane.inCurve, false, lane.inFrames,
              static_cast<uint64_t>(in.first - place.offsetOut),
              steps_[static_cast<int>(lane.inCurve) & 1][0]);
  }
  if (out.count != 0) {
    const auto skip = static_cast<uint32_t>(out.first - from);
    ApplyFade(left + skip, right + skip, out.count, lane.outCurve, true, lane.outFrames,
              static_cast<uint64_t>(lane.outFrames - (place.end - out.first)),
              steps_[static_cast<int>(lane.outCurve) & 1][1]);
  }
  for (uint32_t i = 0; i < n; ++i) {
    sumLeft_[at + i] += left[i];
    sumRight_[at + i] += right[i];
  }
}

void MixKernel::ApplyMixFades(uint32_t first, uint32_t count) {
  const int64_t stop = static_cast<int64_t>(first) + count;
  const int64_t total = job_.frames;
  const Overlap in = mixInFrames_ == 0 ? Overlap{} : Intersect(first, stop, 0, mixInFrames_);
  if (in.count != 0) {
    const FadeCurve curve = job_.fadeIn[kWholeMix].curve;
    ApplyFade(sumLeft_.data() + (in.first - first), sumRight_.data() + (in.first - first), in.count,
              curve, false, mixInFrames_, static_cast<uint64_t>(in.first),
              steps_[static_cast<int>(curve) & 1][0]);
  }
  const Overlap out =
      mixOutFrames_ == 0 ? Overlap{} : Intersect(first, stop, total - mixOutFrames_ + 1, total);
  if (out.count != 0) {
    const FadeCurve curve = job_.fadeOut[kWholeMix].curve;
    ApplyFade(sumLeft_.data() + (out.first - first), sumRight_.data() + (out.first - first),
              out.count, curve, true, mixOutFrames_,
              static_cast<uint64_t>(mixOutFrames_ - (total - out.first)),
              steps_[static_cast<int>(curve) & 1][1]);
  }
}

void MixKernel::StoreChunk(const MixTarget& target, uint32_t first, uint32_t count) {
  const bool wide = job_.bits == 16;
  const int32_t low = wide ? -32768 : -128;
  const int32_t high = wide ? 32767 : 127;
  const uint32_t block = job_.blockFrames;
  uint8_t* out = target.pcm + static_cast<uint64_t>(first) * (wide ? 4 : 2);
  uint32_t i = 0;
  while (i < count) {
    const uint32_t frame = first + i;
    const uint32_t entry = frame / block;
    const uint64_t blockEnd = (static_cast<uint64_t>(entry) + 1) * block;
    const auto pieceEnd = static_cast<uint32_t>(std::min<uint64_t>(count, blockEnd - first));
    int32_t peakLeft = 0;
    int32_t peakRight = 0;
    for (; i < pieceEnd; ++i) {
      int32_t l = sumLeft_[i];
      int32_t r = sumRight_[i];
      if (l < low || l > high || r < low || r > high) {
        l = std::clamp(l, low, high);
        r = std::clamp(r, low, high);
        RecordCorrection(*target.corrections, first + i);
      }
      if (wide) {
        out[0] = static_cast<uint8_t>(l);
        out[1] = static_cast<uint8_t>(static_cast<uint32_t>(l) >> 8);
        out[2] = static_cast<uint8_t>(r);
        out[3] = static_cast<uint8_t>(static_cast<uint32_t>(r) >> 8);
        out += 4;
      } else {
        out[0] = static_cast<uint8_t>(l + 128);
        out[1] = static_cast<uint8_t>(r + 128);
        out += 2;
      }
      peakLeft = std::max(peakLeft, std::abs(l));
      peakRight = std::max(peakRight, std::abs(r));
    }
    MergePeak(*target.peaks, entry, peakLeft, peakRight);
  }
}

void MixKernel::MergePeak(BlockPeakTable& peaks, uint32_t entry, int32_t left,
                          int32_t right) const {
  const bool wide = job_.bits == 16;
  // Stored 8-bit peaks are 128 + deviation, with a full-scale 128 wrapped to byte 0.
  auto magnitude = [wide](int32_t stored) {
    if (wide) return std::abs(stored);
    return stored == 0 ? 128 : std::abs(stored - 128);
  };
  left = std::max(left, magnitude(peaks.Left(entry)));
  right = std::max(right, magnitude(peaks.Right(entry)));
  if (wide) {
    peaks.Store(entry, left, right);
  } else {
    peaks.Store(entry, 128 + left, 128 + right);
  }
}

}  // namespace velmora
