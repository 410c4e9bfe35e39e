#include "mixdown/Mixdown.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

// The gain and packing loops are the kernel's hot spots. On x86-64 Linux they are also built for
// wider vector units, one version chosen for the processor when the program loads; every version
// performs the same IEEE operations in the same order (no fused multiply-add), so the bytes are
// the same. Sanitizer builds keep the plain version.
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__)
#define VELMORA_ALWAYS_INLINE __attribute__((always_inline))
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_VECTOR_CLONES
#else
#define VELMORA_VECTOR_CLONES __attribute__((target_clones("default", "avx2", "avx512f")))
#endif
#else
#define VELMORA_ALWAYS_INLINE
#define VELMORA_VECTOR_CLONES
#endif

namespace velmora {

namespace {

constexpr uint32_t kSineSteps = 90;

int64_t CeilDiv(int64_t numerator, int64_t denominator) {
  return (numerator + denominator - 1) / denominator;
}

inline int32_t Read16(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Signed sample values of `frames` source frames (8-bit around 128), times `scale`.
template <bool kWide, bool kStereo>
void DecodeFrames(const uint8_t* p, uint32_t frames, int32_t scale, int32_t* left, int32_t* right) {
  for (std::size_t i = 0; i < frames; ++i) {
    if constexpr (kWide && kStereo) {
      left[i] = Read16(p + 4 * i) * scale;
      right[i] = Read16(p + 4 * i + 2) * scale;
    } else if constexpr (kWide) {
      left[i] = Read16(p + 2 * i) * scale;
    } else if constexpr (kStereo) {
      left[i] = (static_cast<int32_t>(p[2 * i]) - 128) * scale;
      right[i] = (static_cast<int32_t>(p[2 * i + 1]) - 128) * scale;
    } else {
      left[i] = (static_cast<int32_t>(p[i]) - 128) * scale;
    }
  }
}

void Decode(const uint8_t* p, uint32_t frames, bool wide, bool stereo, int32_t scale, int32_t* left,
            int32_t* right) {
  if (wide) {
    if (stereo) return DecodeFrames<true, true>(p, frames, scale, left, right);
    return DecodeFrames<true, false>(p, frames, scale, left, right);
  }
  if (stereo) return DecodeFrames<false, true>(p, frames, scale, left, right);
  return DecodeFrames<false, false>(p, frames, scale, left, right);
}

// Mono playback of a stereo source: both sides weighted by balance, halved, truncated, and only
// then scaled from 8 to 16 bits.
void FoldToMono(int32_t* left, const int32_t* right, uint32_t frames, int32_t balance,
                int32_t scale) {
  for (uint32_t i = 0; i < frames; ++i) {
    left[i] = scale *
              static_cast<int32_t>(
                  0.5 * (static_cast<double>(left[i] * 2 * (kBalanceMax - balance)) / kBalanceMax +
                         static_cast<double>(right[i] * 2 * balance) / kBalanceMax));
  }
}

// Samples the gain law reads: 16-bit frames straight from the channel on a little-endian host,
// or values decoded beforehand.
template <bool kStereo>
struct WideFrames {
  const uint8_t* p;
  int32_t Left(std::size_t i) const {
    if constexpr (kStereo) return static_cast<int16_t>(Frame(i));
    int16_t s;
    std::memcpy(&s, p + 2 * i, 2);
    return s;
  }
  int32_t Right(std::size_t i) const {
    if constexpr (kStereo) return static_cast<int32_t>(Frame(i)) >> 16;
    return Left(i);
  }
  // Both samples of a stereo frame in one load: left in the low half.
  uint32_t Frame(std::size_t i) const {
    uint32_t frame;
    std::memcpy(&frame, p + 4 * i, 4);
    return frame;
  }
};

struct DecodedFrames {
  const int32_t* left;
  const int32_t* right;
  int32_t Left(std::size_t i) const { return left[i]; }
  int32_t Right(std::size_t i) const { return right[i]; }
};

// trunc(L × g × 2 × c / 20) without a division, bit for bit: it equals trunc(trunc(w) / 10)
// with w = L × g × c, because
// - doubling is exact, so dividing by 20 rounds w / 10 correctly;
// - for w below 10k, the correctly rounded w / 10 stays below k (10k is at least 8k, so the
//   double next below 10k, divided by 10, lies 0.8 ulp(k) or more under k): it truncates like
//   the exact w / 10, and trunc(w / 10) = trunc(trunc(w) / 10);
// - for an integer t below 2^31 in magnitude, t × 0.1 lies within 1e-8 of t / 10 and never
//   nearer zero, so it truncates to the same integer.
// (Also checked over every 16-bit sample, level, auto level and balance.)
static_assert(kBalanceMax == 20, "TenthOf divides by half the balance range");
VELMORA_ALWAYS_INLINE inline int32_t TenthOf(double w) {
  return static_cast<int32_t>(static_cast<double>(static_cast<int32_t>(w)) * 0.1);
}

template <bool kAdd>
VELMORA_ALWAYS_INLINE inline void Put(int32_t& out, int32_t value) {
  if constexpr (kAdd) {
    out += value;
  } else {
    out = value;
  }
}

struct GainLaw {
  bool mono = false;   // mono playback
  double g = 0;        // (200 − level) / (200 − autoLevel)
  double toLeft = 0;   // 20 − balance
  double toRight = 0;  // balance
};

// Level and balance: Lc = trunc(L × g × 2 × (20 − balance) / 20), Rc likewise with balance.
template <bool kAdd, class Frames>
VELMORA_ALWAYS_INLINE inline void StereoGain(const Frames& frames, uint32_t count,
                                             const GainLaw& law, int32_t* __restrict outLeft,
                                             int32_t* __restrict outRight) {
  const double g = law.g;
  const double toLeft = law.toLeft;
  const double toRight = law.toRight;
  for (std::size_t i = 0; i < count; ++i) {
    const int32_t l = TenthOf(static_cast<double>(frames.Left(i)) * g * toLeft);
    const int32_t r = TenthOf(static_cast<double>(frames.Right(i)) * g * toRight);
    Put<kAdd>(outLeft[i], l);
    Put<kAdd>(outRight[i], r);
  }
}

// Mono playback: Lc = Rc = trunc(L × g), the balance having been used by the fold.
template <bool kAdd, class Frames>
VELMORA_ALWAYS_INLINE inline void MonoGain(const Frames& frames, uint32_t count, const GainLaw& law,
                                           int32_t* __restrict outLeft,
                                           int32_t* __restrict outRight) {
  const double g = law.g;
  for (std::size_t i = 0; i < count; ++i) {
    const auto c = static_cast<int32_t>(static_cast<double>(frames.Left(i)) * g);
    Put<kAdd>(outLeft[i], c);
    Put<kAdd>(outRight[i], c);
  }
}

// Writes the contributions to out, or adds them when `add`.
template <class Frames>
VELMORA_ALWAYS_INLINE inline void Gain(const Frames& frames, uint32_t count, const GainLaw& law,
                                       bool add, int32_t* outLeft, int32_t* outRight) {
  if (law.mono) {
    if (add) return MonoGain<true>(frames, count, law, outLeft, outRight);
    return MonoGain<false>(frames, count, law, outLeft, outRight);
  }
  if (add) return StereoGain<true>(frames, count, law, outLeft, outRight);
  StereoGain<false>(frames, count, law, outLeft, outRight);
}

VELMORA_VECTOR_CLONES void GainOfWideStereo(const uint8_t* __restrict p, uint32_t count,
                                            const GainLaw& law, bool add,
                                            int32_t* __restrict outLeft,
                                            int32_t* __restrict outRight) {
  Gain(WideFrames<true>{p}, count, law, add, outLeft, outRight);
}

VELMORA_VECTOR_CLONES void GainOfWideMono(const uint8_t* __restrict p, uint32_t count,
                                          const GainLaw& law, bool add, int32_t* __restrict outLeft,
                                          int32_t* __restrict outRight) {
  Gain(WideFrames<false>{p}, count, law, add, outLeft, outRight);
}

VELMORA_VECTOR_CLONES void GainOfDecoded(const int32_t* __restrict left,
                                         const int32_t* __restrict right, uint32_t count,
                                         const GainLaw& law, bool add, int32_t* __restrict outLeft,
                                         int32_t* __restrict outRight) {
  Gain(DecodedFrames{left, right}, count, law, add, outLeft, outRight);
}

struct PackedPiece {
  int32_t peakLeft = 0;
  int32_t peakRight = 0;
  int32_t smallest = 0;
  int32_t largest = 0;
};

// Interleaves sums into 16-bit samples as they are, with their peaks and their range.
VELMORA_VECTOR_CLONES PackedPiece PackSums(const int32_t* __restrict left,
                                           const int32_t* __restrict right, std::size_t count,
                                           int16_t* __restrict samples) {
  int32_t smallest = 0;
  int32_t largest = 0;
  int32_t peakLeft = 0;
  int32_t peakRight = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const int32_t l = left[i];
    const int32_t r = right[i];
    smallest = std::min(smallest, std::min(l, r));
    largest = std::max(largest, std::max(l, r));
    peakLeft = std::max(peakLeft, l < 0 ? -l : l);
    peakRight = std::max(peakRight, r < 0 ? -r : r);
    samples[2 * i] = static_cast<int16_t>(l);
    samples[2 * i + 1] = static_cast<int16_t>(r);
  }
  return {peakLeft, peakRight, smallest, largest};
}

// Each source frame's contribution held for `ratio` output frames, the first for ratio − phase.
template <bool kAdd>
void Hold(const int32_t* left, const int32_t* right, uint32_t ratio, uint32_t phase, uint32_t count,
          int32_t* outLeft, int32_t* outRight) {
  uint32_t i = 0;
  for (uint32_t k = 0; i < count; ++k) {
    const uint32_t held = std::min(count, i + (ratio - phase));
    for (; i < held; ++i) {
      Put<kAdd>(outLeft[i], left[k]);
      Put<kAdd>(outRight[i], right[k]);
    }
    phase = 0;
  }
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

// The part of the frames [from, to) that lies in [first, stop).
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

bool HostIsLittleEndian() {
#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__)
  return __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
#else
  const uint16_t probe = 1;
  uint8_t first = 0;
  std::memcpy(&first, &probe, 1);
  return first == 1;
#endif
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
  const bool mono = job_.monoPlayback;
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
      if (source.data == nullptr || !source.selected || source.autoLevel == kLevelMax) continue;
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
      lane.scale = job_.bits == 16 && !lane.wide ? 256 : 1;
      lane.balance = source.balance;
      lane.gain = static_cast<double>(kLevelMax - source.level) / (kLevelMax - source.autoLevel);
      lane.inCurve = job_.fadeIn[i].curve;
      lane.outCurve = job_.fadeOut[i].curve;
      lane.inFrames = FadeFrames(job_.fadeIn[i].time, rate);
      lane.outFrames = FadeFrames(job_.fadeOut[i].time, rate);
    }
    for (auto* buffer : {&sumLeft_, &sumRight_, &laneLeft_, &laneRight_, &sourceLeft_,
                         &sourceRight_, &gainLeft_, &gainRight_}) {
      buffer->resize(kChunkFrames + 2);
    }
    stored_.resize(std::size_t{2} * kChunkFrames);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void MixKernel::Run(const MixTarget& target) {
  if (target.peaks != nullptr) target.peaks->FillSilence();
  const uint32_t total = job_.frames;
  if (total == 0) return;
  uint32_t frame = job_.position % total;
  uint32_t done = 0;
  uint32_t last = frame;
  while (done < total) {
    if (target.stop != nullptr && target.stop->load(std::memory_order_acquire)) break;
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

FrameSpan MixKernel::SourceFramesOf(int index, uint32_t first, uint32_t count) const {
  const Lane& lane = lanes_[index];
  if (!lane.active) return {};
  const int64_t from = std::max<int64_t>(first, lane.first);
  const int64_t to = std::min<int64_t>(static_cast<int64_t>(first) + count, lane.stop);
  if (from >= to) return {};
  const uint32_t ratio = lane.place.ratio;
  const int64_t firstFrame = from / ratio - lane.place.offsetChan;
  const int64_t lastFrame = (to - 1) / ratio - lane.place.offsetChan;
  return {firstFrame, static_cast<uint32_t>(lastFrame - firstFrame + 1)};
}

void MixKernel::SetSourceWindow(int index, const uint8_t* frames, int64_t firstFrame) {
  lanes_[index].data = frames;
  lanes_[index].dataFirst = firstFrame;
}

void MixKernel::RunPiece(const MixTarget& target, uint32_t first, uint32_t count) {
  for (uint32_t done = 0; done < count;) {
    const uint32_t n = std::min(kChunkFrames, count - done);
    MixChunk(first + done, n);
    StoreChunk(target, first + done, n);
    done += n;
  }
}

void MixKernel::MixChunk(uint32_t first, uint32_t count) {
  std::fill_n(sumLeft_.data(), count, 0);
  std::fill_n(sumRight_.data(), count, 0);
  for (const Lane& lane : lanes_) {
    if (lane.active) AddLane(lane, first, count);
  }
  ApplyMixFades(first, count);
}

void MixKernel::ApplyGain(const Lane& lane, const uint8_t* p, uint32_t frames, bool add,
                          int32_t* left, int32_t* right) {
  GainLaw law;
  law.mono = job_.monoPlayback;
  law.g = lane.gain;
  law.toLeft = kBalanceMax - lane.balance;
  law.toRight = lane.balance;
  if (lane.wide && !lane.fold && HostIsLittleEndian()) {
    if (lane.stereo) return GainOfWideStereo(p, frames, law, add, left, right);
    return GainOfWideMono(p, frames, law, add, left, right);
  }
  int32_t* decodedLeft = sourceLeft_.data();
  int32_t* decodedRight = sourceRight_.data();
  Decode(p, frames, lane.wide, lane.stereo, lane.fold ? 1 : lane.scale, decodedLeft, decodedRight);
  if (lane.fold) FoldToMono(decodedLeft, decodedRight, frames, lane.balance, lane.scale);
  const bool twoSides = lane.stereo && !lane.fold;
  GainOfDecoded(decodedLeft, twoSides ? decodedRight : decodedLeft, frames, law, add, left, right);
}

void MixKernel::AddLane(const Lane& lane, uint32_t first, uint32_t count) {
  const int64_t from = std::max<int64_t>(first, lane.first);
  const int64_t to = std::min<int64_t>(static_cast<int64_t>(first) + count, lane.stop);
  if (from >= to) return;
  const ChannelPlacement& place = lane.place;
  const uint32_t ratio = place.ratio;
  const auto n = static_cast<uint32_t>(to - from);
  const auto at = static_cast<uint32_t>(from - first);
  const int64_t sourceFrame = from / ratio - place.offsetChan;
  const auto phase = static_cast<uint32_t>(from % ratio);
  const uint32_t sourceFrames = (phase + n + ratio - 1) / ratio;
  const uint32_t frameBytes = (lane.wide ? 2 : 1) * (lane.stereo ? 2 : 1);
  const uint8_t* p = lane.data + static_cast<uint64_t>(sourceFrame - lane.dataFirst) * frameBytes;

  // Fade-in covers 0 < frame − offsetOut < inFrames; fade-out covers end − frame < outFrames.
  const Overlap in = lane.inFrames == 0 ? Overlap{}
                                        : Intersect(from, to, place.offsetOut + 1,
                                                    place.offsetOut + lane.inFrames);
  const Overlap out = lane.outFrames == 0
                          ? Overlap{}
                          : Intersect(from, to, place.end - lane.outFrames + 1, place.end);
  const bool faded = in.count != 0 || out.count != 0;
  int32_t* sumLeft = sumLeft_.data() + at;
  int32_t* sumRight = sumRight_.data() + at;
  int32_t* left = laneLeft_.data() + at;
  int32_t* right = laneRight_.data() + at;
  if (ratio == 1) {
    if (!faded) return ApplyGain(lane, p, n, true, sumLeft, sumRight);
    ApplyGain(lane, p, n, false, left, right);
  } else {
    ApplyGain(lane, p, sourceFrames, false, gainLeft_.data(), gainRight_.data());
    if (!faded)
      return Hold<true>(gainLeft_.data(), gainRight_.data(), ratio, phase, n, sumLeft, sumRight);
    Hold<false>(gainLeft_.data(), gainRight_.data(), ratio, phase, n, left, right);
  }
  if (in.count != 0) {
    const auto skip = static_cast<uint32_t>(in.first - from);
    ApplyFade(left + skip, right + skip, in.count, lane.inCurve, false, lane.inFrames,
              static_cast<uint64_t>(in.first - place.offsetOut), StepsOf(lane.inCurve, false));
  }
  if (out.count != 0) {
    const auto skip = static_cast<uint32_t>(out.first - from);
    ApplyFade(left + skip, right + skip, out.count, lane.outCurve, true, lane.outFrames,
              static_cast<uint64_t>(lane.outFrames - (place.end - out.first)),
              StepsOf(lane.outCurve, true));
  }
  for (uint32_t i = 0; i < n; ++i) {
    sumLeft[i] += left[i];
    sumRight[i] += right[i];
  }
}

const std::array<double, kSineSteps>& MixKernel::StepsOf(FadeCurve curve, bool fadeOut) const {
  return steps_[curve == FadeCurve::Concave ? 1 : 0][fadeOut ? 1 : 0];
}

void MixKernel::ApplyMixFades(uint32_t first, uint32_t count) {
  const int64_t stop = static_cast<int64_t>(first) + count;
  const int64_t total = job_.frames;
  const Overlap in = mixInFrames_ == 0 ? Overlap{} : Intersect(first, stop, 0, mixInFrames_);
  if (in.count != 0) {
    const FadeCurve curve = job_.fadeIn[kWholeMix].curve;
    ApplyFade(sumLeft_.data() + (in.first - first), sumRight_.data() + (in.first - first), in.count,
              curve, false, mixInFrames_, static_cast<uint64_t>(in.first), StepsOf(curve, false));
  }
  const Overlap out =
      mixOutFrames_ == 0 ? Overlap{} : Intersect(first, stop, total - mixOutFrames_ + 1, total);
  if (out.count != 0) {
    const FadeCurve curve = job_.fadeOut[kWholeMix].curve;
    ApplyFade(sumLeft_.data() + (out.first - first), sumRight_.data() + (out.first - first),
              out.count, curve, true, mixOutFrames_,
              static_cast<uint64_t>(mixOutFrames_ - (total - out.first)), StepsOf(curve, true));
  }
}

void MixKernel::StoreChunk(const MixTarget& target, uint32_t first, uint32_t count) {
  const bool wide = job_.bits == 16;
  const uint32_t block = job_.blockFrames;
  for (uint32_t from = 0; from < count;) {
    const uint32_t entry = (first + from) / block;
    const uint64_t blockEnd = (static_cast<uint64_t>(entry) + 1) * block;
    const auto to = static_cast<uint32_t>(std::min<uint64_t>(count, blockEnd - first));
    Peaks peaks = PackPiece(from, to);
    if (peaks.clipped) {
      ClampPiece(target, first, from, to);
      peaks = PackPiece(from, to);
    }
    if (target.peaks != nullptr) MergePeak(*target.peaks, entry, peaks.left, peaks.right);
    from = to;
  }
  if (wide) {
    uint8_t* out = target.pcm + static_cast<uint64_t>(first - target.pcmFirstFrame) * 4;
    if (HostIsLittleEndian()) {
      std::memcpy(out, stored_.data(), static_cast<std::size_t>(count) * 4);
      return;
    }
    for (uint32_t i = 0; i < 2 * count; ++i, out += 2) {
      out[0] = static_cast<uint8_t>(stored_[i]);
      out[1] = static_cast<uint8_t>(static_cast<uint16_t>(stored_[i]) >> 8);
    }
    return;
  }
  uint8_t* out = target.pcm + static_cast<uint64_t>(first - target.pcmFirstFrame) * 2;
  for (uint32_t i = 0; i < 2 * count; ++i) out[i] = static_cast<uint8_t>(stored_[i] + 128);
}

MixKernel::Peaks MixKernel::PackPiece(uint32_t from, uint32_t to) {
  const PackedPiece piece = PackSums(sumLeft_.data() + from, sumRight_.data() + from, to - from,
                                     stored_.data() + 2 * static_cast<std::size_t>(from));
  const bool wide = job_.bits == 16;
  const int32_t low = wide ? -32768 : -128;
  const int32_t high = wide ? 32767 : 127;
  return {piece.peakLeft, piece.peakRight, piece.smallest < low || piece.largest > high};
}

void MixKernel::ClampPiece(const MixTarget& target, uint32_t first, uint32_t from, uint32_t to) {
  const bool wide = job_.bits == 16;
  const int32_t low = wide ? -32768 : -128;
  const int32_t high = wide ? 32767 : 127;
  int32_t* left = sumLeft_.data();
  int32_t* right = sumRight_.data();
  for (uint32_t i = from; i < to; ++i) {
    if (left[i] < low || left[i] > high || right[i] < low || right[i] > high) {
      left[i] = std::clamp(left[i], low, high);
      right[i] = std::clamp(right[i], low, high);
      RecordCorrection(*target.corrections, first + i);
    }
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
