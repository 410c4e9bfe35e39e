#include "support/WavFixture.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "io/LittleEndian.h"

namespace velmora::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  const fs::path base = fs::temp_directory_path();
  for (;;) {
    const fs::path candidate =
        base / ("velmora-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate)) {
      path_ = candidate.string();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::vector<uint8_t> Pcm16(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    le::Put16(&bytes[2 * i], static_cast<uint16_t>(samples[i]));
  }
  return bytes;
}

std::vector<uint8_t> StereoNoise(uint32_t frames, uint32_t seed) {
  std::vector<int16_t> samples(std::size_t{frames} * 2);
  uint32_t state = seed;
  for (int16_t& s : samples) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    s = static_cast<int16_t>(static_cast<int16_t>(state >> 16) / 4);
  }
  return Pcm16(samples);
}

namespace {

// Byte by byte: GCC's optimiser reports a range insert into the still empty vector as an
// overflow (-Wstringop-overflow) although it is none.
void AppendBytes(std::vector<uint8_t>& out, const uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) out.push_back(bytes[i]);
}
void Append(std::vector<uint8_t>& out, const char* id) {
  AppendBytes(out, reinterpret_cast<const uint8_t*>(id), 4);
}
void Append32(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t b[4];
  le::Put32(b, v);
  AppendBytes(out, b, 4);
}
void Append16(std::vector<uint8_t>& out, uint16_t v) {
  uint8_t b[2];
  le::Put16(b, v);
  AppendBytes(out, b, 2);
}

}  // namespace

std::vector<uint8_t> MakeWav(const WavSpec& spec, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  const int blockAlign = spec.channels * spec.bits / 8;
  Append(out, "RIFF");
  Append32(out, 0);  // patched below
  Append(out, "WAVE");
  Append(out, "fmt ");
  Append32(out, static_cast<uint32_t>(spec.fmtSize));
  Append16(out, spec.formatTag);
  Append16(out, static_cast<uint16_t>(spec.channels));
  Append32(out, static_cast<uint32_t>(spec.rate));
  Append32(out, static_cast<uint32_t>(spec.rate * blockAlign));
  Append16(out, static_cast<uint16_t>(blockAlign));
  Append16(out, static_cast<uint16_t>(spec.bits));
  for (int32_t i = 16; i < spec.fmtSize; ++i) out.push_back(0);
  for (const std::string& id : spec.chunksBeforeData) {
    Append(out, id.c_str());
    Append32(out, spec.fillerSize);
    out.insert(out.end(), spec.fillerSize, 0x55);
  }
  Append(out, "data");
  Append32(out, spec.declaredDataSize < 0 ? static_cast<uint32_t>(data.size())
                                          : static_cast<uint32_t>(spec.declaredDataSize));
  out.insert(out.end(), data.begin(), data.end());
  le::Put32(&out[4], static_cast<uint32_t>(out.size() - 8));
  return out;
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream file(fs::u8path(path), std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream file(fs::u8path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

std::string WriteWav(const TempDir& dir, const std::string& name, const WavSpec& spec,
                     const std::vector<uint8_t>& data) {
  std::string path = dir.File(name);
  WriteBytes(path, MakeWav(spec, data));
  return path;
}

}  // namespace velmora::test
