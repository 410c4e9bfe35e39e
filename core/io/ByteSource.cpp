#include "io/ByteSource.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

namespace velmora {

namespace {

constexpr std::size_t kSplitReadFrom = std::size_t{8} << 20;

}  // namespace

std::size_t MemorySource::ReadAt(void* dest, std::size_t size, uint64_t offset) {
  if (offset >= size_) return 0;
  const std::size_t count = std::min<uint64_t>(size, size_ - offset);
  if (count != 0) std::memcpy(dest, bytes_ + offset, count);
  return count;
}

bool FileSource::Open(const std::string& utf8Path, std::error_code* why) {
  size_ = 0;
  if (!file_.Open(utf8Path, File::Mode::Read, why)) return false;
  const int64_t size = file_.Size();
  if (size < 0) {
    if (why != nullptr) *why = std::make_error_code(std::errc::io_error);
    file_.Close();
    return false;
  }
  size_ = static_cast<uint64_t>(size);
  return true;
}

std::size_t FileSource::ReadInOneGo(void* dest, std::size_t size, uint64_t offset) {
  if (offset > static_cast<uint64_t>(INT64_MAX)) return 0;
  if (File::kHasReadAt) return file_.ReadAt(dest, size, static_cast<int64_t>(offset));
  if (!file_.Seek(static_cast<int64_t>(offset), SEEK_SET)) return 0;
  return file_.Read(dest, size);
}

std::size_t FileSource::ReadAt(void* dest, std::size_t size, uint64_t offset) {
  if (!File::kHasReadAt || size < kSplitReadFrom) return ReadInOneGo(dest, size, offset);
  auto* bytes = static_cast<uint8_t*>(dest);
  const std::size_t half = size / 2;
  std::size_t secondGot = 0;
  std::thread second;
  try {
    second =
        std::thread([&] { secondGot = ReadInOneGo(bytes + half, size - half, offset + half); });
  } catch (const std::system_error&) {
    return ReadInOneGo(dest, size, offset);
  }
  const std::size_t firstGot = ReadInOneGo(bytes, half, offset);
  second.join();
  // A short first half leaves a gap: only the bytes up to it count.
  return firstGot < half ? firstGot : half + secondGot;
}

}  // namespace velmora
