#include "mixdown/BlockPeakTable.h"

#include <cstdlib>
#include <new>

#include "io/AvailableMemory.h"

namespace velmora {

bool BlockPeakTable::Allocate(std::size_t entries, int bytesPerSample) {
  Reset();
  const std::size_t values = 2 * entries + 1;
  // The table is filled at once, so every page of it is taken from the system here.
  if (!FitsInAvailableMemory(static_cast<uint64_t>(values) * sizeof(std::atomic<uint16_t>))) {
    return false;
  }
  values_.reset(new (std::nothrow) std::atomic<uint16_t>[values]);
  if (values_ == nullptr) return false;
  entries_ = entries;
  bytesPerSample_ = bytesPerSample;
  FillSilence();
  return true;
}

void BlockPeakTable::Reset() {
  values_.reset();
  entries_ = 0;
}

void BlockPeakTable::FillSilence() {
  const uint16_t silence = bytesPerSample_ == 1 ? 128 : 0;
  for (std::size_t i = 0; i < 2 * entries_; ++i)
    values_[i].store(silence, std::memory_order_relaxed);
}

void BlockPeakTable::Store(std::size_t entry, int32_t left, int32_t right) {
  const uint16_t mask = bytesPerSample_ == 1 ? 0xFF : 0xFFFF;
  values_[2 * entry].store(static_cast<uint16_t>(left) & mask, std::memory_order_relaxed);
  values_[2 * entry + 1].store(static_cast<uint16_t>(right) & mask, std::memory_order_relaxed);
}

int32_t BlockPeakTable::Load(std::size_t i) const {
  const uint16_t raw = values_[i].load(std::memory_order_relaxed);
  return bytesPerSample_ == 1 ? static_cast<int32_t>(raw) : static_cast<int16_t>(raw);
}

int BlockPeakTable::Percent(int32_t stored) const {
  if (bytesPerSample_ == 1) {
    // A stored 0 is a deviation of 128 that wrapped: full scale.
    const int32_t deviation = stored == 0 ? 128 : std::abs(stored - 128);
    return deviation * 100 / 128;
  }
  return std::abs(stored) * 100 / 32768;
}

std::vector<uint8_t> BlockPeakTable::ToBytes() const {
  std::vector<uint8_t> bytes;
  bytes.reserve(2 * entries_ * static_cast<std::size_t>(bytesPerSample_));
  for (std::size_t i = 0; i < 2 * entries_; ++i) {
    const uint16_t raw = values_[i].load(std::memory_order_relaxed);
    bytes.push_back(static_cast<uint8_t>(raw));
    if (bytesPerSample_ == 2) bytes.push_back(static_cast<uint8_t>(raw >> 8));
  }
  return bytes;
}

}  // namespace velmora
