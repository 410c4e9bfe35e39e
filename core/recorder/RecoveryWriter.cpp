#include "recorder/RecoveryWriter.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <new>
#include <system_error>

#include "io/Format.h"
#include "io/LittleEndian.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace velmora {

namespace {

// How often the thread wakes while the take grows; the header follows every wake, the disk
// every other one, which keeps inside once and twice a second.
constexpr auto kWakeInterval = std::chrono::milliseconds(400);
constexpr auto kSyncInterval = std::chrono::milliseconds(800);
// A WAV's data size is 32 bits; the file stops growing there (the take itself goes on).
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kWavHeaderBytes - 8;

int ProcessId() {
#ifndef _WIN32
  return static_cast<int>(::getpid());
#else
  return 0;
#endif
}

// "take-20261210-170501-12345-1.wav": the start time, the process and a counter keep names apart.
std::string NewFileName(int attempt) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifndef _WIN32
  localtime_r(&now, &local);
#else
  localtime_s(&local, &now);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return Format("take-%s-%d-%d.wav", stamp, ProcessId(), attempt);
}

}  // namespace

std::vector<uint8_t> MakeWavHeader(uint32_t rate, uint16_t bits, uint16_t channels,
                                   uint32_t dataBytes) {
  OutHeader header;
  FillCanonical(header.riff, header.data, channels, static_cast<int>(rate), bits, 0);
  header.data.size = dataBytes;
  header.riff.riffSize = dataBytes + RiffHeader::kBytes;
  std::vector<uint8_t> bytes(OutHeader::kBytes);
  header.riff.Encode(bytes.data());
  header.data.Encode(bytes.data() + RiffHeader::kBytes);
  return bytes;
}

RecoveryWriter::~RecoveryWriter() {
  Finish();
}

bool RecoveryWriter::Start(const std::string& directory, uint32_t rate, uint16_t bits,
                           uint16_t channels) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::u8path(directory), ignored);
  rate_ = rate;
  bits_ = bits;
  channels_ = channels;
  for (int attempt = 1; attempt <= 100 && !file_.IsOpen(); ++attempt) {
    path_ = (std::filesystem::u8path(directory) / NewFileName(attempt)).u8string();
    file_.Create(path_);
  }
  if (!file_.IsOpen()) {
    path_.clear();
    return false;
  }
  const std::vector<uint8_t> header = MakeWavHeader(rate_, bits_, channels_, 0);
  if (!file_.WriteAt(header.data(), header.size(), 0)) {
    Remove();
    return false;
  }
  thread_ = std::thread([this] { Run(); });
  return true;
}

void RecoveryWriter::Append(const uint8_t* data, size_t bytes) {
  if (!thread_.joinable() || bytes == 0 || failed()) return;
  // Short of memory, the take itself comes first: the file stops growing instead.
  try {
    std::vector<uint8_t> copy;
    if (data != nullptr) {
      copy.assign(data, data + bytes);
    } else {
      copy.assign(bytes, bits_ == 8 ? 128 : 0);
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(copy));
  } catch (const std::bad_alloc&) {
    const std::lock_guard<std::mutex> lock(mutex_);
    failed_ = true;
    queue_.clear();
    return;
  }
  wake_.notify_one();
}

void RecoveryWriter::Run() {
  using Clock = std::chrono::steady_clock;
  Clock::time_point lastSync = Clock::now();
  bool unsynced = false;
  for (;;) {
    std::deque<std::vector<uint8_t>> pending;
    bool stopping = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, kWakeInterval, [this] { return stop_; });
      pending.swap(queue_);
      stopping = stop_;
    }
    bool ok = true;
    for (const std::vector<uint8_t>& block : pending) {
      const uint64_t room = kMaxDataBytes - std::min(dataBytes_, kMaxDataBytes);
      const size_t size = static_cast<size_t>(std::min<uint64_t>(block.size(), room));
      if (size == 0) break;
      if (!file_.WriteAt(block.data(), size, kWavHeaderBytes + dataBytes_)) {
        ok = false;
        break;
      }
      dataBytes_ += size;
      unsynced = true;
    }
    if (!ok) {
      // What the header states stays valid; nothing more is queued.
      const std::lock_guard<std::mutex> lock(mutex_);
      failed_ = true;
      queue_.clear();
      return;
    }
    WriteSizes();
    if (unsynced && (stopping || Clock::now() - lastSync >= kSyncInterval)) {
      file_.SyncData();
      lastSync = Clock::now();
      unsynced = false;
    }
    if (stopping) return;
  }
}

void RecoveryWriter::WriteSizes() {
  const auto bytes = static_cast<uint32_t>(dataBytes_);
  uint8_t sizes[4];
  le::Put32(sizes, bytes + kWavHeaderBytes - 8);
  bool ok = file_.WriteAt(sizes, 4, 4);
  le::Put32(sizes, bytes);
  ok = ok && file_.WriteAt(sizes, 4, 40);
  const std::lock_guard<std::mutex> lock(mutex_);
  if (ok) {
    headerBytes_ = bytes;
  } else {
    failed_ = true;
  }
}

void RecoveryWriter::Finish() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void RecoveryWriter::Remove() {
  Finish();
  file_.Close();
  if (!path_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::u8path(path_), ignored);
    path_.clear();
  }
}

bool RecoveryWriter::failed() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

uint32_t RecoveryWriter::writtenBytes() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return headerBytes_;
}

}  // namespace velmora
