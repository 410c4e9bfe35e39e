#pragma once
// Writes small WAV files for tests into a private temporary folder that is removed afterwards.

#include <cstdint>
#include <string>
#include <vector>

namespace velmora::test {

// A folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

struct WavSpec {
  int channels = 2;
  int rate = 44100;
  int bits = 16;
  int32_t fmtSize = 16;  // > 16 writes zero bytes after the PCM body
  uint16_t formatTag = 1;
  std::vector<std::string> chunksBeforeData;  // ids of filler chunks, e.g. "LIST"
  uint32_t fillerSize = 10;       // size of each filler chunk (odd sizes are not padded)
  int64_t declaredDataSize = -1;  // -1 = the real size
};

// Interleaved 16-bit samples as bytes.
std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples);
// `frames` frames of interleaved 16-bit stereo noise at a quarter of full scale, as bytes: no run
// of frames repeats, and each seed gives different noise.
std::vector<uint8_t> StereoNoise(uint32_t frames, uint32_t seed);
// Builds the bytes of a WAV file with `data` as the sample bytes.
std::vector<uint8_t> MakeWav(const WavSpec& spec, const std::vector<uint8_t>& data);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
// Convenience: write a WAV file and return its path.
std::string WriteWav(const TempDir& dir, const std::string& name, const WavSpec& spec,
                     const std::vector<uint8_t>& data);

}  // namespace velmora::test
