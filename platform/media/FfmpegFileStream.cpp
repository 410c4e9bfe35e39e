#include "media/FfmpegFileStream.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <io.h>

#include <filesystem>
#else
#include <unistd.h>
#endif

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace velmora {

namespace {

constexpr int kBufferBytes = 64 * 1024;

#ifdef _WIN32
using FileStat = struct _stat64;
int OpenForReading(const std::string& utf8Path) {
  return _wopen(std::filesystem::u8path(utf8Path).c_str(), _O_RDONLY | _O_BINARY);
}
int StatOf(int handle, FileStat& info) {
  return _fstat64(handle, &info);
}
int64_t MoveTo(int handle, int64_t offset, int origin) {
  return _lseeki64(handle, offset, origin);
}
int ReadFrom(int handle, uint8_t* buffer, int size) {
  return _read(handle, buffer, static_cast<unsigned>(size));
}
int CloseHandle(int handle) {
  return _close(handle);
}
#else
using FileStat = struct stat;
// Without waiting: a pipe with no writer would otherwise hold the open until someone writes.
// Reads of the regular files that are kept never wait anyway.
int OpenForReading(const std::string& utf8Path) {
  return ::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}
int StatOf(int handle, FileStat& info) {
  return ::fstat(handle, &info);
}
int64_t MoveTo(int handle, int64_t offset, int origin) {
  return static_cast<int64_t>(::lseek(handle, static_cast<off_t>(offset), origin));
}
int ReadFrom(int handle, uint8_t* buffer, int size) {
  return static_cast<int>(::read(handle, buffer, static_cast<std::size_t>(size)));
}
int CloseHandle(int handle) {
  return ::close(handle);
}
#endif

int ReadCallback(void* opaque, uint8_t* buffer, int size) {
  return static_cast<FfmpegFileStream*>(opaque)->Read(buffer, size);
}

int64_t SeekCallback(void* opaque, int64_t offset, int whence) {
  return static_cast<FfmpegFileStream*>(opaque)->Seek(offset, whence);
}

int LastError() {
  return errno != 0 ? AVERROR(errno) : AVERROR(EIO);
}

}  // namespace

FfmpegFileStream::~FfmpegFileStream() {
  Close();
}

void FfmpegFileStream::Close() {
  if (context_ != nullptr) {
    // The context may have replaced the buffer it was given; free the one it holds now.
    av_freep(&context_->buffer);
    avio_context_free(&context_);
  }
  if (handle_ >= 0) {
    CloseHandle(handle_);
    handle_ = -1;
  }
}

DecoderCode FfmpegFileStream::Open(const std::string& utf8Path) {
  Close();
  errno = 0;
  handle_ = OpenForReading(utf8Path);
  if (handle_ < 0) return LastError();
  FileStat info{};
  if (StatOf(handle_, info) != 0) {
    const int error = LastError();
    Close();
    return error;
  }
  // Directories, pipes and devices are refused: the demuxer needs a file it can seek in.
  if ((info.st_mode & S_IFMT) != S_IFREG) {
    Close();
    return kCodeNotADiskFile;
  }
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
  if (buffer != nullptr) {
    context_ =
        avio_alloc_context(buffer, kBufferBytes, 0, this, ReadCallback, nullptr, SeekCallback);
  }
  if (context_ == nullptr) {
    av_free(buffer);
    Close();
    return kCodeOutOfMemory;
  }
  return kDecoderOk;
}

int FfmpegFileStream::Read(uint8_t* buffer, int size) {
  if (handle_ < 0) return AVERROR(EBADF);
  for (;;) {
    errno = 0;
    const int count = ReadFrom(handle_, buffer, size);
    if (count > 0) return count;
    if (count == 0) return AVERROR_EOF;
    if (errno != EINTR) return LastError();
  }
}

int64_t FfmpegFileStream::Seek(int64_t offset, int whence) {
  if (handle_ < 0) return AVERROR(EBADF);
  whence &= ~AVSEEK_FORCE;
  errno = 0;
  if (whence == AVSEEK_SIZE) {
    FileStat info{};
    if (StatOf(handle_, info) != 0) return LastError();
    return static_cast<int64_t>(info.st_size);
  }
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
  // The whole 64-bit offset is used, so files beyond 4 GiB seek correctly.
  const int64_t position = MoveTo(handle_, offset, whence);
  if (position < 0) return LastError();
  return position;
}

}  // namespace velmora
