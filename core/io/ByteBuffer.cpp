#include "io/ByteBuffer.h"

#include <new>

#include "io/AvailableMemory.h"

namespace velmora {

namespace {

std::size_t g_failAbove = 0;

// Smaller blocks are not worth asking the system about.
constexpr std::size_t kAskSystemFrom = std::size_t{1} << 20;

}  // namespace

void ByteBuffer::SetFailAboveForTesting(std::size_t bytes) {
  g_failAbove = bytes;
}

bool ByteBuffer::Allocate(std::size_t size) {
  if (g_failAbove != 0 && size > g_failAbove) return false;
  // The system grants far more than it has and collects when the pages are first written.
  if (size >= kAskSystemFrom && !FitsInAvailableMemory(size)) return false;
  // new[] of zero bytes still yields a distinct non-null block: a loaded file with no samples is
  // a loaded channel, not an empty slot.
  uint8_t* raw = new (std::nothrow) uint8_t[size == 0 ? 1 : size];
  if (raw == nullptr) return false;
  bytes_.reset(raw);
  size_ = size;
  return true;
}

}  // namespace velmora
