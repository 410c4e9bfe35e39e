#pragma once
// Per-block left/right peaks of the mix, read by the playback meters while the mixdown may still
// be writing later blocks on the worker thread; entries are relaxed atomics so that a meter read
// racing a block's second visit is defined.
//
// Entry values are in the output sample format: 16-bit mixes store the peak magnitude as int16
// (32768 wraps to -32768; readers take the magnitude); 8-bit mixes store 128 + deviation in one
// byte (a deviation of 128 wraps to 0). Readers compute |v| or |v - 128| accordingly.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmora {

class BlockPeakTable {
 public:
  // Allocates `entries` left/right pairs for samples of `bytesPerSample` (1 or 2), filled with
  // silence. Returns false on allocation failure (the table is then empty).
  bool Allocate(std::size_t entries, int bytesPerSample);
  void Reset();
  void FillSilence();

  bool has() const { return values_ != nullptr; }
  std::size_t entries() const { return entries_; }
  int bytesPerSample() const { return bytesPerSample_; }

  // Raw stored values (int16 bit pattern for 16-bit, byte value for 8-bit).
  int32_t Left(std::size_t entry) const { return Load(2 * entry); }
  int32_t Right(std::size_t entry) const { return Load(2 * entry + 1); }
  void Store(std::size_t entry, int32_t left, int32_t right);

  // Meter percentages 0..100 of an entry: |v| × 100 / 32768 or |v − 128| × 100 / 128.
  int LeftPercent(std::size_t entry) const { return Percent(Left(entry)); }
  int RightPercent(std::size_t entry) const { return Percent(Right(entry)); }

  // Little-endian byte image of the table, 2 × bytesPerSample bytes per entry.
  std::vector<uint8_t> ToBytes() const;

 private:
  int32_t Load(std::size_t i) const;
  int Percent(int32_t stored) const;

  std::unique_ptr<std::atomic<uint16_t>[]> values_;
  std::size_t entries_ = 0;
  int bytesPerSample_ = 2;
};

}  // namespace velmora
