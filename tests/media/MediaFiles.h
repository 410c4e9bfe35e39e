#pragma once
// Known signals, WMA files made from them with Debian's ffmpeg command, and how close a decoded
// channel comes to its source.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// Interleaved 16-bit frames; each channel holds its own pair of tones, so a swapped or
// misaligned channel does not correlate with its source.
std::vector<int16_t> Tones(int rate, int channels, int frames);

// Runs `ffmpeg -nostdin -v error -y` with the arguments; true when it succeeded.
bool RunFfmpeg(const std::vector<std::string>& arguments);

// Writes the samples as a WAV file and encodes it with the wmav2 encoder into `wmaPath`.
bool MakeWma(const std::string& wavPath, const std::string& wmaPath, int rate, int channels,
             const std::vector<int16_t>& samples);

// The largest normalized correlation of channel `channel` of `decoded` with the same channel of
// `source`, over shifts of up to `maxShift` frames either way.
double BestCorrelation(const std::vector<int16_t>& decoded, const std::vector<int16_t>& source,
                       int channels, int channel, int maxShift);

}  // namespace velmora::test
