#pragma once
// Bytes read at offsets, from a block in memory or from a file on disk, so that a parser works on
// either alike: the tests and the fuzzer hand it bytes, the program a file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "io/File.h"

namespace velmora {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Length in bytes, fixed while the source exists.
  virtual uint64_t Size() const = 0;
  // Copies up to `size` bytes from `offset` into `dest` and returns how many it copied: fewer only
  // past the end or after a read error.
  virtual std::size_t ReadAt(void* dest, std::size_t size, uint64_t offset) = 0;
};

// Bytes owned by the caller, which keeps them alive and unchanged while the source is used.
class MemorySource final : public ByteSource {
 public:
  MemorySource(const uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  uint64_t Size() const override { return size_; }
  std::size_t ReadAt(void* dest, std::size_t size, uint64_t offset) override;

 private:
  const uint8_t* bytes_;
  std::size_t size_;
};

// A file opened for reading; its size is taken once, when it is opened. Opened by one thread;
// ReadAt may then run on several threads at once (reads at offsets share no position).
class FileSource final : public ByteSource {
 public:
  // False when the file cannot be opened, is not a regular file (a pipe or a device is refused
  // without waiting on it) or its size cannot be told; `why` receives the system's reason.
  bool Open(const std::string& utf8Path, std::error_code* why = nullptr);
  uint64_t Size() const override { return size_; }
  // Large reads run as two halves on two threads: most of their cost is the system filling fresh
  // pages, and that work then uses two cores.
  std::size_t ReadAt(void* dest, std::size_t size, uint64_t offset) override;

 private:
  std::size_t ReadInOneGo(void* dest, std::size_t size, uint64_t offset);

  File file_;
  uint64_t size_ = 0;
};

}  // namespace velmora
