#pragma once
// A folder of this user's alone, and a file in it that this process holds for writing alone.
//
// The folder is held open, so every file made, opened, renamed or removed through it lies in that
// very folder whatever its path comes to name later, and nothing is ever reached through a link.
// A file's exclusive advisory lock is taken when it is opened and the system drops it when the
// process ends, however it ends: a file found unlocked belongs to no running program. Positioned
// reads and writes, and a flush of the data to the disk. The POSIX build uses openat, flock,
// pread/pwrite and fdatasync; a Windows build would put CreateFile with LockFileEx and
// FlushFileBuffers behind the same calls (there every open fails for now, so recovery files are
// simply not made).

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

namespace velmora {

class OwnFolder {
 public:
  OwnFolder() = default;
  ~OwnFolder() { Close(); }
  OwnFolder(OwnFolder&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }
  OwnFolder& operator=(OwnFolder&& other) noexcept;
  OwnFolder(const OwnFolder&) = delete;
  OwnFolder& operator=(const OwnFolder&) = delete;

  // Opens the folder `utf8Path` names; with `create`, a missing folder (and its missing parents)
  // is made, open to its owner only. Refuses a link, anything but a folder and a folder of another
  // user; a folder of this user that others may enter is closed to them (mode 0700).
  bool Open(const std::string& utf8Path, bool create);
  bool IsOpen() const { return handle_ >= 0; }
  // The names of its entries, "." and ".." aside (one more descriptor is open while it reads).
  std::vector<std::string> Names() const;
  // The same folder through a second handle.
  OwnFolder Duplicate() const;
  // The folder's entries (names made, renamed or removed) reach the disk.
  bool Sync() const;
  void Close();

 private:
  friend class LockedFile;
  int handle_ = -1;
};

class LockedFile {
 public:
  LockedFile() = default;
  ~LockedFile() { Close(); }
  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;

  // Creates `name` in `folder`, which must not exist, readable and writable by its owner only,
  // and locks it.
  bool Create(const OwnFolder& folder, const std::string& name, std::error_code* why = nullptr);
  // Opens `name` in `folder` for reading and writing and locks it, when it is this user's own
  // file: a regular file, not a link, owned by this user and known by this one name (a file with
  // a second name may be one of the user's own elsewhere). False when it is not, or when another
  // process holds it.
  bool OpenOwnUnheld(const OwnFolder& folder, const std::string& name);
  bool IsOpen() const { return handle_ >= 0; }
  // The file's name in its folder.
  const std::string& name() const { return name_; }
  // Gives the file the name `name` in its folder, never in place of another file; the lock stays.
  bool Rename(const std::string& name);
  // Removes the file's name from its folder, when the name still leads to this file, and closes.
  bool Remove();
  bool WriteAt(const void* data, std::size_t size, uint64_t offset);
  // Bytes read (short at the end of the file or on an error).
  std::size_t ReadAt(void* data, std::size_t size, uint64_t offset) const;
  // The written data (not necessarily the times) reach the disk.
  bool SyncData();
  // The file's name reaches the disk (after Create or Rename).
  bool SyncName() const { return folder_.Sync(); }
  // -1 when it cannot be told.
  int64_t Size() const;
  // Unlocks and closes.
  void Close();

 private:
  int handle_ = -1;
  OwnFolder folder_;
  std::string name_;
};

}  // namespace velmora
