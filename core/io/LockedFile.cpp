#include "io/LockedFile.h"

#include <cerrno>
#include <filesystem>
#include <utility>

#include "io/File.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora {

OwnFolder& OwnFolder::operator=(OwnFolder&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)),
      folder_(std::move(other.folder_)),
      name_(std::move(other.name_)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    folder_ = std::move(other.folder_);
    name_ = std::move(other.name_);
  }
  return *this;
}

#ifndef _WIN32

namespace {

// Made one level at a time, each open to its owner only; an existing level is left as it is.
bool MakeFolders(const std::filesystem::path& path) {
  if (::mkdir(path.c_str(), S_IRWXU) == 0 || errno == EEXIST) return true;
  if (errno != ENOENT) return false;
  const std::filesystem::path parent = path.parent_path();
  if (parent.empty() || parent == path || !MakeFolders(parent)) return false;
  return ::mkdir(path.c_str(), S_IRWXU) == 0 || errno == EEXIST;
}

// One entry of the folder itself: never a path that leads elsewhere.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// A file this user made here: a second name could be one of the user's own files elsewhere.
bool IsOwnSingleFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1;
}

// Locked without waiting: a file another process holds is simply not ours.
bool LockExclusive(int handle) {
  return ::flock(handle, LOCK_EX | LOCK_NB) == 0;
}

std::error_code LastError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

}  // namespace

bool OwnFolder::Open(const std::string& utf8Path, bool create) {
  Close();
  std::string trimmed = utf8Path;
  // "folder/" would follow a link named "folder".
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  if (trimmed.empty()) return false;
  const std::filesystem::path path = std::filesystem::u8path(trimmed);
  if (create) MakeFolders(path);
  const int handle = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (handle < 0) return false;
  struct stat info {};
  const bool own = ::fstat(handle, &info) == 0 && S_ISDIR(info.st_mode) &&
                   info.st_uid == ::geteuid() &&
                   ((info.st_mode & (S_IRWXG | S_IRWXO)) == 0 || ::fchmod(handle, S_IRWXU) == 0);
  if (!own) {
    ::close(handle);
    return false;
  }
  handle_ = handle;
  return true;
}

std::vector<std::string> OwnFolder::Names() const {
  std::vector<std::string> names;
  if (handle_ < 0) return names;
  // A handle of its own: reading moves a position the folder's handle keeps at the start.
  const int handle = ::openat(handle_, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (handle < 0) return names;
  DIR* listing = ::fdopendir(handle);
  if (listing == nullptr) {
    ::close(handle);
    return names;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(listing);
  return names;
}

OwnFolder OwnFolder::Duplicate() const {
  OwnFolder copy;
  if (handle_ >= 0) copy.handle_ = ::fcntl(handle_, F_DUPFD_CLOEXEC, 0);
  return copy;
}

bool OwnFolder::Sync() const {
  return handle_ >= 0 && ::fsync(handle_) == 0;
}

void OwnFolder::Close() {
  if (handle_ >= 0) {
    ::close(handle_);
    handle_ = -1;
  }
}

bool LockedFile::Create(const OwnFolder& folder, const std::string& name, std::error_code* why) {
  Close();
  errno = 0;
  if (!folder.IsOpen() || !IsPlainName(name)) {
    if (why != nullptr) *why = std::make_error_code(std::errc::invalid_argument);
    return false;
  }
  OwnFolder own = folder.Duplicate();
  const int handle =
      own.IsOpen() ? ::openat(folder.handle_, name.c_str(),
                              O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR)
                   : -1;
  if (handle < 0) {
    if (why != nullptr) *why = LastError();
    return false;
  }
  // Another start may have found it unlocked and removed it (it held no frames) before the lock.
  struct stat info {};
  if (!LockExclusive(handle) || ::fstat(handle, &info) != 0 || info.st_nlink != 1) {
    if (why != nullptr) *why = std::make_error_code(std::errc::file_exists);
    ::close(handle);
    return false;
  }
  handle_ = handle;
  folder_ = std::move(own);
  name_ = name;
  return true;
}

bool LockedFile::OpenOwnUnheld(const OwnFolder& folder, const std::string& name) {
  Close();
  if (!folder.IsOpen() || !IsPlainName(name)) return false;
  // Looked at before it is opened: opening a device or a pipe can have effects of its own.
  struct stat seen {};
  if (::fstatat(folder.handle_, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0 ||
      !IsOwnSingleFile(seen)) {
    return false;
  }
  const int handle = ::openat(folder.handle_, name.c_str(),
                              O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (handle < 0) return false;
  // Checked again on what was opened, once locked: the name may have changed meanwhile.
  struct stat info {};
  OwnFolder own;
  if (LockExclusive(handle) && ::fstat(handle, &info) == 0 && IsOwnSingleFile(info)) {
    own = folder.Duplicate();
  }
  if (!own.IsOpen()) {
    ::close(handle);
    return false;
  }
  handle_ = handle;
  folder_ = std::move(own);
  name_ = name;
  return true;
}

bool LockedFile::Rename(const std::string& name) {
  if (handle_ < 0 || !IsPlainName(name)) return false;
  if (name == name_) return true;
  if (::renameat2(folder_.handle_, name_.c_str(), folder_.handle_, name.c_str(),
                  RENAME_NOREPLACE) != 0) {
    return false;
  }
  name_ = name;
  return true;
}

bool LockedFile::Remove() {
  bool removed = false;
  struct stat mine {};
  struct stat named {};
  if (handle_ >= 0 && ::fstat(handle_, &mine) == 0 &&
      ::fstatat(folder_.handle_, name_.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      mine.st_dev == named.st_dev && mine.st_ino == named.st_ino) {
    removed = ::unlinkat(folder_.handle_, name_.c_str(), 0) == 0;
  }
  Close();
  return removed;
}

bool LockedFile::WriteAt(const void* data, std::size_t size, uint64_t offset) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size != 0) {
    const ssize_t written = ::pwrite(handle_, bytes, size, static_cast<off_t>(offset));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
  return true;
}

std::size_t LockedFile::ReadAt(void* data, std::size_t size, uint64_t offset) const {
  return ReadAtDescriptor(handle_, data, size, offset);
}

bool LockedFile::SyncData() {
  return ::fdatasync(handle_) == 0;
}

int64_t LockedFile::Size() const {
  struct stat info {};
  if (handle_ < 0 || ::fstat(handle_, &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

void LockedFile::Close() {
  if (handle_ >= 0) {
    ::close(handle_);  // drops the lock
    handle_ = -1;
  }
  folder_.Close();
  name_.clear();
}

#else

bool OwnFolder::Open(const std::string&, bool) {
  return false;
}
std::vector<std::string> OwnFolder::Names() const {
  return {};
}
OwnFolder OwnFolder::Duplicate() const {
  return {};
}
bool OwnFolder::Sync() const {
  return false;
}
void OwnFolder::Close() {
  handle_ = -1;
}

bool LockedFile::Create(const OwnFolder&, const std::string&, std::error_code* why) {
  if (why != nullptr) *why = std::make_error_code(std::errc::function_not_supported);
  return false;
}
bool LockedFile::OpenOwnUnheld(const OwnFolder&, const std::string&) {
  return false;
}
bool LockedFile::Rename(const std::string&) {
  return false;
}
bool LockedFile::Remove() {
  return false;
}
bool LockedFile::WriteAt(const void*, std::size_t, uint64_t) {
  return false;
}
std::size_t LockedFile::ReadAt(void*, std::size_t, uint64_t) const {
  return 0;
}
bool LockedFile::SyncData() {
  return false;
}
int64_t LockedFile::Size() const {
  return -1;
}
void LockedFile::Close() {
  handle_ = -1;
  name_.clear();
}

#endif

}  // namespace velmora
