#include "recorder/LoopbackLag.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

// Every this many frames make one point of the coarse envelope.
constexpr uint32_t kDecimation = 8;
// Share of the best coarse score a shorter lag needs to be taken instead.
constexpr double kNearlyBest = 0.95;

// Mean |sample| per kDecimation frames, with the mean of the whole removed.
std::vector<double> Envelope(const std::vector<int32_t>& samples, size_t first, size_t count) {
  std::vector<double> envelope(count / kDecimation);
  double sum = 0;
  for (size_t i = 0; i < envelope.size(); ++i) {
    double e = 0;
    for (uint32_t k = 0; k < kDecimation; ++k) e += std::abs(samples[first + i * kDecimation + k]);
    envelope[i] = e / kDecimation;
    sum += envelope[i];
  }
  const double mean = envelope.empty() ? 0 : sum / static_cast<double>(envelope.size());
  for (double& e : envelope) e -= mean;
  return envelope;
}

// Normalized correlation of take[from, from + window) with played[from - lag, ...).
double Correlation(const std::vector<int32_t>& played, const std::vector<int32_t>& take,
                   uint32_t from, uint32_t lag, uint32_t window) {
  double ab = 0;
  double aa = 0;
  double bb = 0;
  for (uint32_t t = from; t < from + window; ++t) {
    const double a = take[t];
    const double b = played[t - lag];
    ab += a * b;
    aa += a * a;
    bb += b * b;
  }
  return aa > 0 && bb > 0 ? ab / std::sqrt(aa * bb) : 0;
}

}  // namespace

std::optional<uint32_t> FindLoopbackLag(const std::vector<int32_t>& played,
                                        const std::vector<int32_t>& take, uint32_t maxLag,
                                        uint32_t window, double minCorrelation) {
  maxLag -= maxLag % kDecimation;
  const size_t needed = size_t{maxLag} + window;
  if (window < 16 * kDecimation || played.size() < needed || take.size() < needed) {
    return std::nullopt;
  }
  // Coarse: the envelopes, lag in steps of kDecimation frames.
  const std::vector<double> takeEnvelope = Envelope(take, maxLag, window);
  const std::vector<double> playedEnvelope = Envelope(played, 0, needed);
  double takeEnergy = 0;
  for (double e : takeEnvelope) takeEnergy += e * e;
  if (takeEnergy <= 0) return std::nullopt;
  const uint32_t steps = maxLag / kDecimation;
  std::vector<double> scores(steps + 1);
  double best = 0;
  for (uint32_t step = 0; step <= steps; ++step) {
    // take point i starts at frame maxLag + i*D; the played one L frames earlier.
    const size_t base = (maxLag - size_t{step} * kDecimation) / kDecimation;
    double ab = 0;
    double bb = 0;
    for (size_t i = 0; i < takeEnvelope.size(); ++i) {
      const double b = playedEnvelope[base + i];
      ab += takeEnvelope[i] * b;
      bb += b * b;
    }
    scores[step] = bb > 0 ? ab / std::sqrt(bb) : 0;
    best = std::max(best, scores[step]);
  }
  if (best <= 0) return std::nullopt;
  // A sound that repeats (a click track) matches once per period: the shortest round trip that
  // matches about as well as the best is the one.
  uint32_t bestStep = 0;
  while (scores[bestStep] < kNearlyBest * best) ++bestStep;
  // Fine: every frame around the coarse lag, on the samples themselves.
  const uint32_t centre = bestStep * kDecimation;
  const uint32_t low = centre >= 2 * kDecimation ? centre - 2 * kDecimation : 0;
  const uint32_t high = std::min(maxLag, centre + 2 * kDecimation);
  uint32_t bestLag = centre;
  double bestCorrelation = -1;
  for (uint32_t lag = low; lag <= high; ++lag) {
    const double r = Correlation(played, take, maxLag, lag, window);
    if (r > bestCorrelation) {
      bestCorrelation = r;
      bestLag = lag;
    }
  }
  if (bestCorrelation < minCorrelation) return std::nullopt;
  return bestLag;
}

}  // namespace velmora
