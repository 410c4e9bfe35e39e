#include "io/ByteBuffer.h"

#include <cstdlib>

namespace velmora {

namespace {
std::size_t g_failAbove = 0;
}

void ByteBuffer::SetFailAboveForTesting(std::size_t bytes) {
  g_failAbove = bytes;
}

void ByteBuffer::Free::operator()(uint8_t* bytes) const {
  std::free(bytes);
}

bool ByteBuffer::Allocate(std::size_t size) {
  if (g_failAbove != 0 && size > g_failAbove) return false;
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
  // realloc of zero bytes may free the block; keep one.
  auto* raw = static_cast<uint8_t*>(std::realloc(bytes_.get(), size == 0 ? 1 : size));
  if (raw == nullptr) return false;
  (void)bytes_.release();
  bytes_.reset(raw);
  size_ = size;
  return true;
}

}  // namespace velmora
