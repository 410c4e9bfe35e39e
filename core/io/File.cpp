#include "io/File.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace velmora {

namespace {

std::filesystem::path FromUtf8(const std::string& utf8Path) {
  // u8path is deprecated in C++20 but is the portable way in C++17 to give Windows a UTF-8 name.
  return std::filesystem::u8path(utf8Path);
}

std::error_code LastSystemError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

class FileErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "velmora.file"; }
  std::string message(int) const override { return "not a regular file"; }
};

#ifndef _WIN32
// The reason for refusing what `info` describes.
std::error_code NotRegularReason(const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  return NotARegularFileError();
}

// Opened without waiting, so that a pipe with no writer or a device cannot hold the caller; what
// was opened is checked before anything is read.
std::FILE* OpenRegularForReading(const std::filesystem::path& path, std::error_code& why) {
  errno = 0;
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    why = LastSystemError();
    return nullptr;
  }
  struct stat info {};
  errno = 0;
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    why = errno != 0 ? LastSystemError() : NotRegularReason(info);
    ::close(descriptor);
    return nullptr;
  }
  // Reading a regular file never waits; blocking reads keep the stream's usual behaviour.
  const int flags = ::fcntl(descriptor, F_GETFL);
  if (flags != -1) ::fcntl(descriptor, F_SETFL, flags & ~O_NONBLOCK);
  errno = 0;
  std::FILE* stream = ::fdopen(descriptor, "rb");
  if (stream == nullptr) {
    why = LastSystemError();
    ::close(descriptor);
  }
  return stream;
}
#endif

}  // namespace

std::error_code NotARegularFileError() {
  static const FileErrorCategory category;
  return {1, category};
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    stream_ = other.stream_;
    other.stream_ = nullptr;
  }
  return *this;
}

bool File::Open(const std::string& utf8Path, Mode mode, std::error_code* why) {
  Close();
  std::error_code error;
  if (utf8Path.empty()) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
  } else {
    const std::filesystem::path path = FromUtf8(utf8Path);
    errno = 0;
#ifdef _WIN32
    if (mode == Mode::Read && !std::filesystem::is_regular_file(path, error)) {
      if (!error) error = NotARegularFileError();
    } else {
      stream_ = _wfopen(path.c_str(), mode == Mode::Read ? L"rb" : L"wb");
      if (stream_ == nullptr) error = LastSystemError();
    }
#else
    if (mode == Mode::Read) {
      stream_ = OpenRegularForReading(path, error);
    } else {
      stream_ = std::fopen(path.c_str(), "wb");
      if (stream_ == nullptr) error = LastSystemError();
    }
#endif
  }
  if (why != nullptr) *why = error;
  return stream_ != nullptr;
}

bool File::CreateNew(const std::string& utf8Path, std::error_code* why) {
  Close();
  if (utf8Path.empty()) {
    if (why != nullptr) *why = std::make_error_code(std::errc::no_such_file_or_directory);
    return false;
  }
  const std::filesystem::path path = FromUtf8(utf8Path);
  errno = 0;
#ifdef _WIN32
  stream_ = _wfopen(path.c_str(), L"wbx");
#else
  const int descriptor =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (descriptor >= 0) {
    stream_ = ::fdopen(descriptor, "wb");
    if (stream_ == nullptr) {
      const int error = errno;
      ::close(descriptor);
      ::unlink(path.c_str());
      errno = error;
    }
  }
#endif
  if (stream_ == nullptr && why != nullptr) *why = LastSystemError();
  return stream_ != nullptr;
}

std::size_t File::Read(void* buffer, std::size_t size) {
  if (stream_ == nullptr || size == 0) return 0;
  return std::fread(buffer, 1, size, stream_);
}

bool File::Write(const void* buffer, std::size_t size) {
  if (stream_ == nullptr) return false;
  return size == 0 || std::fwrite(buffer, 1, size, stream_) == size;
}

bool File::Skip(uint64_t count) {
  if (stream_ == nullptr) return false;
  const int64_t here = Tell();
  const int64_t total = Size();
  if (here < 0 || total < 0) return false;
  if (count > static_cast<uint64_t>(total - here)) {
    Seek(0, SEEK_END);
    return false;
  }
  return Seek(here + static_cast<int64_t>(count), SEEK_SET);
}

int64_t File::Size() {
  if (stream_ == nullptr) return -1;
  const int64_t here = Tell();
  if (here < 0 || !Seek(0, SEEK_END)) return -1;
  const int64_t end = Tell();
  Seek(here, SEEK_SET);
  return end;
}

int64_t File::Tell() {
  if (stream_ == nullptr) return -1;
#ifdef _WIN32
  return _ftelli64(stream_);
#else
  return static_cast<int64_t>(ftello(stream_));
#endif
}

std::size_t File::ReadAt(void* buffer, std::size_t size, int64_t offset) {
#ifdef _WIN32
  (void)buffer;
  (void)size;
  (void)offset;
  return 0;
#else
  if (stream_ == nullptr || offset < 0) return 0;
  return ReadAtDescriptor(fileno(stream_), buffer, size, static_cast<uint64_t>(offset));
#endif
}

#ifndef _WIN32
std::size_t ReadAtDescriptor(int descriptor, void* buffer, std::size_t size, uint64_t offset) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = pread(descriptor, bytes + done, size - done,
                              static_cast<off_t>(offset + static_cast<uint64_t>(done)));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}
#endif

bool File::Seek(int64_t offset, int origin) {
  if (stream_ == nullptr) return false;
#ifdef _WIN32
  return _fseeki64(stream_, offset, origin) == 0;
#else
  return fseeko(stream_, static_cast<off_t>(offset), origin) == 0;
#endif
}

bool File::Sync() {
  if (stream_ == nullptr || std::fflush(stream_) != 0) return false;
#ifdef _WIN32
  return true;
#else
  return fsync(fileno(stream_)) == 0;
#endif
}

void File::StartWriteBack() {
  if (stream_ == nullptr || std::fflush(stream_) != 0) return;
#if defined(__linux__)
  sync_file_range(fileno(stream_), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool File::Close() {
  if (stream_ == nullptr) return true;
  const bool ok = std::fclose(stream_) == 0;
  stream_ = nullptr;
  return ok;
}

bool RemoveFile(const std::string& utf8Path) {
  std::error_code error;
  return std::filesystem::remove(FromUtf8(utf8Path), error);
}

}  // namespace velmora
