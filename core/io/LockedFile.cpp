#include "io/LockedFile.h"

#include <cerrno>
#include <filesystem>

#include "io/File.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora {

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

#ifndef _WIN32

namespace {

std::string NativePath(const std::string& utf8Path) {
  return std::filesystem::u8path(utf8Path).native();
}

// Locked without waiting: a file another process holds is simply not ours.
bool LockExclusive(int handle) {
  return ::flock(handle, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace

bool LockedFile::Create(const std::string& utf8Path, std::error_code* why) {
  Close();
  const int handle = ::open(NativePath(utf8Path).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                            S_IRUSR | S_IWUSR);
  if (handle < 0 || !LockExclusive(handle)) {
    if (why != nullptr) *why = {errno != 0 ? errno : EIO, std::generic_category()};
    if (handle >= 0) ::close(handle);
    return false;
  }
  handle_ = handle;
  return true;
}

bool LockedFile::OpenUnheld(const std::string& utf8Path) {
  Close();
  const int handle = ::open(NativePath(utf8Path).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (handle < 0) return false;
  struct stat info {};
  if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || !LockExclusive(handle)) {
    ::close(handle);
    return false;
  }
  handle_ = handle;
  return true;
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
}

#else

bool LockedFile::Create(const std::string&, std::error_code* why) {
  if (why != nullptr) *why = std::make_error_code(std::errc::function_not_supported);
  return false;
}
bool LockedFile::OpenUnheld(const std::string&) {
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
}

#endif

}  // namespace velmora
