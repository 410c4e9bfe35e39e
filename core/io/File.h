#pragma once
// RAII wrapper of a C stdio stream opened from a UTF-8 path of any length and any characters.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <system_error>

namespace velmora {

class File {
 public:
  enum class Mode { Read, Write };

  File() = default;
  ~File() { Close(); }
  File(File&& other) noexcept : stream_(other.stream_) { other.stream_ = nullptr; }
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // Read opens regular files only, and never waits: a pipe or a device is refused at once rather
  // than blocking until someone writes to it. Write creates or truncates. `why` receives the
  // system's reason for a failure.
  bool Open(const std::string& utf8Path, Mode mode, std::error_code* why = nullptr);
  // Creates a file that must not exist yet, for writing, readable and writable by its owner only.
  bool CreateNew(const std::string& utf8Path, std::error_code* why = nullptr);
  bool IsOpen() const { return stream_ != nullptr; }
  // Returns the number of bytes actually read (short at the end of the file or on an error).
  std::size_t Read(void* buffer, std::size_t size);
  bool ReadExact(void* buffer, std::size_t size) { return Read(buffer, size) == size; }
  bool Write(const void* buffer, std::size_t size);
  // Moves forward `count` bytes; false when the file ends first.
  bool Skip(uint64_t count);
  // Size of the file in bytes, or -1 when it cannot be told.
  int64_t Size();
  int64_t Tell();
  // Reads at an absolute offset without moving the stream's position; may run on another thread
  // beside Read. Returns the bytes read, or 0 where the system offers no positioned read.
  std::size_t ReadAt(void* buffer, std::size_t size, int64_t offset);
  static constexpr bool kHasReadAt =
#ifdef _WIN32
      false;
#else
      true;
#endif
  bool Seek(int64_t offset, int origin);
  // Flushes stdio and the system's buffers to the disk.
  bool Sync();
  // Hands what was written so far to the system and asks it to start writing it to the disk
  // without waiting, so that a later Sync has less left to wait for. A hint: where the system
  // takes no such request, it only flushes stdio.
  void StartWriteBack();
  // Closes the stream; false when the final flush failed.
  bool Close();

 private:
  std::FILE* stream_ = nullptr;
};

#ifndef _WIN32
// Reads up to `size` bytes at `offset` of an open file descriptor, going on after interruptions
// and short reads. Returns the bytes read (fewer at the end of the file or on an error).
std::size_t ReadAtDescriptor(int descriptor, void* buffer, std::size_t size, uint64_t offset);
#endif

// Removes a file; false when it did not exist or could not be removed.
bool RemoveFile(const std::string& utf8Path);

// The reason given for a path that names something other than a regular file (a pipe, a device).
std::error_code NotARegularFileError();

}  // namespace velmora
