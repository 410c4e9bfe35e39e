#include "io/ByteBuffer.h"

#include <cstdlib>

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

void ByteBuffer::Free::operator()(uint8_t* bytes) const {
  std::free(bytes);
}

bool ByteBuffer::Allocate(std::size_t size) {
  if (g_failAbove != 0 && size > g_failAbove) return false;
  // The system grants far more than it has and collects when the pages are first written.
  if (size >= kAskSystemFrom && !FitsInAvailableMemory(size)) return false;
  // Zero bytes still get a distinct non-null block: a loaded file with no samples is a loaded
  // channel, not an empty slot.
  auto* raw = static_cast<uint8_t*>(std::malloc(size == 0 ? 1 : size));
  if (raw == nullptr) return false;
  bytes_.reset(raw);
  size_ = size;
  return true;
}

bool ByteBuffer::Resize(std::size_t size) {
  if (!has()) return Allocate(size);
  if (g_failAbove != 0 && size > g_failAbove) return false;
  if (size > size_ && size - size_ >= kAskSystemFrom && !FitsInAvailableMemory(size - size_)) {
    return false;
  }
  // realloc of zero bytes may free the block; keep one.
  auto* raw = static_cast<uint8_t*>(std::realloc(bytes_.get(), size == 0 ? 1 : size));
  if (raw == nullptr) return false;
  (void)bytes_.release();
  bytes_.reset(raw);
  size_ = size;
  return true;
}

}  // namespace velmora
