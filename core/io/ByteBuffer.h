#pragma once
// An owned block of bytes that may be absent ("null"), as audio buffers are throughout the program.
// Allocation never throws: a failure is a false result the caller turns into the program's message.
// Contents are left uninitialised so that a large mix buffer costs nothing until it is written.
// The block comes from the C allocator, so that it can grow or shrink without a copy where the
// system can remap it.

#include <cstddef>
#include <cstdint>
#include <memory>

namespace velmora {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(ByteBuffer&&) noexcept = default;
  ByteBuffer& operator=(ByteBuffer&&) noexcept = default;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Replaces the contents with `size` uninitialised bytes; on failure the buffer is left as it was.
  // A block the system's available memory cannot hold is refused as a failure.
  bool Allocate(std::size_t size);
  // Changes the size to `size`, keeping the first bytes up to the smaller size; new bytes are
  // uninitialised and the block may move. An absent buffer is allocated. On failure the buffer
  // is left as it was.
  bool Resize(std::size_t size);
  void Reset() {
    bytes_.reset();
    size_ = 0;
  }

  uint8_t* data() { return bytes_.get(); }
  const uint8_t* data() const { return bytes_.get(); }
  std::size_t size() const { return size_; }
  bool has() const { return bytes_ != nullptr; }
  explicit operator bool() const { return has(); }

  // Tests make allocations above this many bytes fail, to reach the out-of-memory paths.
  // 0 means no limit. Not thread-safe; set it only while no other thread allocates.
  static void SetFailAboveForTesting(std::size_t bytes);

 private:
  struct Free {
    void operator()(uint8_t* bytes) const;
  };
  std::unique_ptr<uint8_t, Free> bytes_;
  std::size_t size_ = 0;
};

}  // namespace velmora
