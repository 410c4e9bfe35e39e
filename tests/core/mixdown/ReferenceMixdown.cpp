#include "ReferenceMixdown.h"

#include <algorithm>
#include <cstdlib>

namespace velmora::test {

namespace {

struct Channel {
  bool loaded = false;
  uint32_t ratio = 0;
  int64_t offOut = 0;
  int64_t offCh = 0;
  int64_t end = 0;
  uint32_t fadeIn = 0;
  uint32_t fadeOut = 0;
};

int32_t ReadSample(const MixSource& s, int64_t frame, int side) {
  const bool stereo = s.channels == 2;
  const int index = stereo ? side : 0;
  const int64_t sample = frame * (stereo ? 2 : 1) + index;
  if (s.bits == 16) {
    const uint8_t* p = s.data + sample * 2;
    return static_cast<int16_t>(p[0] | (p[1] << 8));
  }
  return static_cast<int32_t>(s.data[sample]) - 128;
}

int32_t Magnitude(int32_t stored, bool wide) {
  if (wide) return std::abs(stored);
  return stored == 0 ? 128 : std::abs(stored - 128);
}

}  // namespace

void ReferenceMixdown(const MixJob& job, const MixTarget& target) {
  const uint32_t N = job.frames;
  const uint32_t B = job.blockFrames;
  const uint32_t R = job.rate;
  const bool wide = job.bits == 16;
  const bool mono = job.monoPlayback != 0;
  Channel ch[kMixSources];
  for (int i = 0; i < kMixSources; ++i) {
    const MixSource& s = job.sources[i];
    if (s.data == nullptr || s.rate == 0) continue;
    ch[i].loaded = true;
    ch[i].ratio = R / s.rate;
    ch[i].offOut = static_cast<int64_t>(static_cast<double>(R) * s.offset / 1000);
    ch[i].offCh = static_cast<int64_t>(static_cast<double>(s.offset) * s.rate / 1000);
    ch[i].end = static_cast<int64_t>(s.frames) * ch[i].ratio + ch[i].offOut;
    ch[i].fadeIn = FadeFrames(job.fadeIn[i].time, R);
    ch[i].fadeOut = FadeFrames(job.fadeOut[i].time, R);
  }
  const uint32_t mixIn = FadeFrames(job.fadeIn[kWholeMix].time, R);
  const uint32_t mixOut = FadeFrames(job.fadeOut[kWholeMix].time, R);
  target.peaks->FillSilence();
  const int32_t max = wide ? 32767 : 127;
  const int32_t min = wide ? -32768 : -128;

  int32_t runLeft = 0;
  int32_t runRight = 0;
  uint32_t runEntry = 0;
  auto closeBlock = [&]() {
    const int32_t left = std::max(runLeft, Magnitude(target.peaks->Left(runEntry), wide));
    const int32_t right = std::max(runRight, Magnitude(target.peaks->Right(runEntry), wide));
    if (wide) {
      target.peaks->Store(runEntry, left, right);
    } else {
      target.peaks->Store(runEntry, 128 + left, 128 + right);
    }
    runLeft = runRight = 0;
  };

  uint32_t n = 0;
  for (; n < N; ++n) {
    if (target.stop != nullptr && target.stop->load() == 1) break;
    const auto f = static_cast<uint32_t>((static_cast<uint64_t>(job.position) + n) % N);
    if (target.cursor != nullptr) target.cursor->store(f);
    if (n > 0 && f % B == 0) closeBlock();
    if (n == 0 || f % B == 0) runEntry = f / B;

    int32_t SL = 0;
    int32_t SR = 0;
    for (int i = 0; i < kMixSources; ++i) {
      const MixSource& s = job.sources[i];
      const Channel& c = ch[i];
      if (!c.loaded || s.selected == 0 || s.autoLevel == 200 || c.ratio == 0) continue;
      const auto ms = static_cast<int64_t>(static_cast<double>(f) * 1000 / R);
      if (ms < s.offset) continue;
      if (!(f < c.end)) continue;  // f >= 0 always
      const int64_t j = f / c.ratio - c.offCh;
      // A source frame outside the channel contributes silence.
      if (j < 0 || j >= s.frames) continue;
      int32_t L = ReadSample(s, j, 0);
      int32_t Rs = ReadSample(s, j, 1);
      const int32_t balance = s.balance;
      if (s.channels == 2 && mono) {
        const auto m =
            static_cast<int32_t>(0.5 * (static_cast<double>(L) * 2 * (20 - balance) / 20 +
                                        static_cast<double>(Rs) * 2 * balance / 20));
        L = Rs = m;
      }
      if (wide && s.bits != 16) {
        L *= 256;
        Rs *= 256;
      }
      const double g = static_cast<double>(200 - s.level) / (200 - s.autoLevel);
      int32_t Lc;
      int32_t Rc;
      if (!mono) {
        Lc = static_cast<int32_t>(static_cast<double>(L) * g * 2 * (20 - balance) / 20);
        Rc = static_cast<int32_t>(static_cast<double>(Rs) * g * 2 * balance / 20);
      } else {
        Lc = static_cast<int32_t>(L * g);
        Rc = static_cast<int32_t>(Rs * g);
      }
      const int64_t rel = static_cast<int64_t>(f) - c.offOut;
      if (0 < rel && rel < c.fadeIn) {
        const double k = FadeInFactor(job.fadeIn[i].curve, static_cast<uint32_t>(rel), c.fadeIn);
        Lc = static_cast<int32_t>(Lc * k);
        Rc = static_cast<int32_t>(Rc * k);
      }
      const int64_t rem = c.end - f;
      if (rem < c.fadeOut) {
        const double k = FadeOutFactor(job.fadeOut[i].curve, static_cast<uint32_t>(rem), c.fadeOut);
        Lc = static_cast<int32_t>(Lc * k);
        Rc = static_cast<int32_t>(Rc * k);
      }
      SL += Lc;
      SR += Rc;
    }
    if (f < mixIn) {
      const double k = FadeInFactor(job.fadeIn[kWholeMix].curve, f, mixIn);
      SL = static_cast<int32_t>(SL * k);
      SR = static_cast<int32_t>(SR * k);
    }
    if (N - f < mixOut) {
      const double k = FadeOutFactor(job.fadeOut[kWholeMix].curve, N - f, mixOut);
      SL = static_cast<int32_t>(SL * k);
      SR = static_cast<int32_t>(SR * k);
    }
    if (SL < min || SL > max || SR < min || SR > max) {
      SL = SL < min ? min : (SL > max ? max : SL);
      SR = SR < min ? min : (SR > max ? max : SR);
      RecordCorrection(*target.corrections, f);
    }
    if (wide) {
      uint8_t* p = target.pcm + static_cast<uint64_t>(f) * 4;
      p[0] = static_cast<uint8_t>(SL & 0xFF);
      p[1] = static_cast<uint8_t>((SL >> 8) & 0xFF);
      p[2] = static_cast<uint8_t>(SR & 0xFF);
      p[3] = static_cast<uint8_t>((SR >> 8) & 0xFF);
    } else {
      uint8_t* p = target.pcm + static_cast<uint64_t>(f) * 2;
      p[0] = static_cast<uint8_t>(SL + 128);
      p[1] = static_cast<uint8_t>(SR + 128);
    }
    runLeft = std::max(runLeft, std::abs(SL));
    runRight = std::max(runRight, std::abs(SR));
  }
  if (n > 0) closeBlock();
}

}  // namespace velmora::test
