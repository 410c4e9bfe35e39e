#include "MediaFiles.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "support/WavFixture.h"

namespace velmora::test {

namespace {

constexpr double kPi = 3.14159265358979323846;

std::string Quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Sum of products of channel `channel` over the overlap when `decoded` lags `source` by `shift`
// frames, with the two energies, over at most `limit` frames from `start`.
double Correlation(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source,
                   int channels, int channel, int shift, std::size_t start, std::size_t limit) {
  const std::size_t decodedFrames = decoded.size() / channels;
  const std::size_t sourceFrames = source.size() / channels;
  double product = 0;
  double decodedEnergy = 0;
  double sourceEnergy = 0;
  for (std::size_t i = start; i < sourceFrames && i < start + limit; ++i) {
    const long j = static_cast<long>(i) + shift;
    if (j < 0 || static_cast<std::size_t>(j) >= decodedFrames) continue;
    const double s = source[i * channels + channel];
    const double d = decoded[static_cast<std::size_t>(j) * channels + channel];
    product += s * d;
    sourceEnergy += s * s;
    decodedEnergy += d * d;
  }
  if (sourceEnergy == 0 || decodedEnergy == 0) return 0;
  return product / std::sqrt(sourceEnergy * decodedEnergy);
}

}  // namespace

std::vector<int16_t> Tones(int rate, int channels, int frames) {
  std::vector<int16_t> samples(static_cast<std::size_t>(frames) * channels);
  for (int c = 0; c < channels; ++c) {
    const double low = 220.0 + 110.0 * c;
    const double high = 1250.0 + 330.0 * c;
    for (int i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / rate;
      const double value = 0.35 * std::sin(2 * kPi * low * t) + 0.2 * std::sin(2 * kPi * high * t);
      samples[static_cast<std::size_t>(i) * channels + c] =
          static_cast<int16_t>(std::lround(value * 32767));
    }
  }
  return samples;
}

bool RunFfmpeg(const std::vector<std::string>& arguments) {
  std::string command = "ffmpeg -nostdin -v error -y";
  for (const std::string& argument : arguments) command += " " + Quoted(argument);
  return std::system(command.c_str()) == 0;
}

bool MakeWma(const std::string& wavPath, const std::string& wmaPath, int rate, int channels,
             const std::vector<int16_t>& samples) {
  WavSpec spec;
  spec.channels = channels;
  spec.rate = rate;
  WriteBytes(wavPath, MakeWav(spec, Pcm16(samples)));
  return RunFfmpeg({"-i", wavPath, "-c:a", "wmav2", "-b:a", "96k", wmaPath});
}

double BestCorrelation(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source,
                       int channels, int channel, int maxShift) {
  // Find the shift on a stretch from the middle, then measure the whole overlap there.
  const std::size_t frames = source.size() / channels;
  const std::size_t window = std::min<std::size_t>(4096, frames / 2);
  const std::size_t start = frames / 2 - window / 2;
  int bestShift = 0;
  double best = -2;
  for (int shift = -maxShift; shift <= maxShift; ++shift) {
    const double r = Correlation(decoded, source, channels, channel, shift, start, window);
    if (r > best) {
      best = r;
      bestShift = shift;
    }
  }
  return Correlation(decoded, source, channels, channel, bestShift, 0, frames);
}

}  // namespace velmora::test
