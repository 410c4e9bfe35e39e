#pragma once
// A file this process holds for writing alone: an exclusive advisory lock is taken when it is
// opened and the system drops it when the process ends, however it ends. So a file found
// unlocked belongs to no running program. Positioned reads and writes, and a flush of the data
// to the disk. The POSIX build uses open, flock, pread/pwrite and fdatasync; a Windows build
// would put CreateFile with LockFileEx and FlushFileBuffers behind the same calls (there every
// open fails for now, so recovery files are simply not made).

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

namespace velmora {

class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile() { Close(); }
  LockedFile(LockedFile&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // Creates `utf8Path`, which must not exist, readable and writable by its owner only, and locks
  // it.
  bool Create(const std::string& utf8Path, std::error_code* why = nullptr);
  // Opens an existing file for reading and writing and locks it. False when another process
  // holds it (or it cannot be opened).
  bool OpenUnheld(const std::string& utf8Path);
  bool IsOpen() const { return handle_ >= 0; }
  bool WriteAt(const void* data, std::size_t size, uint64_t offset);
  // Bytes read (short at the end of the file or on an error).
  std::size_t ReadAt(void* data, std::size_t size, uint64_t offset) const;
  // The written data (not necessarily the times) reach the disk.
  bool SyncData();
  // -1 when it cannot be told.
  int64_t Size() const;
  // Unlocks and closes.
  void Close();

 private:
  int handle_ = -1;
};

}  // namespace velmora
