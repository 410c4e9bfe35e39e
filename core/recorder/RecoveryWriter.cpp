#include "recorder/RecoveryWriter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <utility>

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

// "take-20261210-170501-12345-1": the start time, the process and a count of the process's files
// keep names apart (a placed file's name no longer holds the bare one, so that alone is no guard).
std::string NewStem() {
  static std::atomic<unsigned> made{0};
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifndef _WIN32
  localtime_r(&now, &local);
#else
  localtime_s(&local, &now);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  return Format("take-%s-%d-%u", stamp, ProcessId(), ++made);
}

// Latencies beyond this are not real; the name keeps its length bounded.
constexpr double kMaxNamedLatencyUs = 1e9;

// "-ch2-at1500ms-cut1632-lat37400us"; "chx" for a channel not known.
std::string PlacementPart(const TakePlacement& placement) {
  const double us = placement.latencyMs * 1000;
  const long long latencyUs =
      std::isfinite(us) ? std::llround(std::clamp(us, 0.0, kMaxNamedLatencyUs)) : 0;
  const std::string channel = placement.channel >= 0 && placement.channel <= 9
                                  ? std::to_string(placement.channel)
                                  : std::string("x");
  return Format("-ch%s-at%ldms-cut%lu-lat%lldus", channel.c_str(),
                static_cast<long>(std::max<int32_t>(placement.offsetMs, 0)),
                static_cast<unsigned long>(placement.cutFrames), latencyUs);
}

// Reads a name left to right, refusing anything but what is expected.
class NameReader {
 public:
  explicit NameReader(const std::string& name) : name_(name) {}
  bool Text(const char* text) {
    const size_t length = std::strlen(text);
    if (name_.compare(at_, length, text) != 0) return false;
    at_ += length;
    return true;
  }
  // `minDigits` to `maxDigits` decimal digits, no sign.
  bool Number(size_t minDigits, size_t maxDigits, uint64_t& value) {
    value = 0;
    size_t digits = 0;
    while (at_ < name_.size() && digits < maxDigits && name_[at_] >= '0' && name_[at_] <= '9') {
      value = value * 10 + static_cast<uint64_t>(name_[at_] - '0');
      ++at_;
      ++digits;
    }
    return digits >= minDigits && (at_ == name_.size() || name_[at_] < '0' || name_[at_] > '9');
  }
  bool AtEnd() const { return at_ == name_.size(); }

 private:
  const std::string& name_;
  size_t at_ = 0;
};

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

bool ReadTakeFileName(const std::string& name, TakePlacement& placement) {
  placement = TakePlacement{};
  NameReader reader(name);
  uint64_t number = 0;
  if (!reader.Text("take-") || !reader.Number(8, 8, number) || !reader.Text("-") ||
      !reader.Number(6, 6, number) || !reader.Text("-") || !reader.Number(1, 10, number) ||
      !reader.Text("-") || !reader.Number(1, 10, number)) {
    return false;
  }
  if (reader.Text(".wav")) return reader.AtEnd();
  uint64_t channel = 0;
  uint64_t offsetMs = 0;
  uint64_t cutFrames = 0;
  uint64_t latencyUs = 0;
  if (!reader.Text("-ch")) return false;
  const bool channelKnown = !reader.Text("x");
  if ((channelKnown && !reader.Number(1, 1, channel)) || !reader.Text("-at") ||
      !reader.Number(1, 10, offsetMs) || offsetMs > INT32_MAX || !reader.Text("ms-cut") ||
      !reader.Number(1, 10, cutFrames) || cutFrames > UINT32_MAX || !reader.Text("-lat") ||
      !reader.Number(1, 10, latencyUs) || !reader.Text("us.wav") || !reader.AtEnd()) {
    return false;
  }
  placement.channel = channelKnown ? static_cast<int>(channel) : -1;
  placement.offsetMs = static_cast<int32_t>(offsetMs);
  placement.cutFrames = static_cast<uint32_t>(cutFrames);
  placement.latencyMs = static_cast<double>(latencyUs) / 1000;
  return true;
}

RecoveryWriter::~RecoveryWriter() {
  Finish();
}

bool RecoveryWriter::Start(const std::string& directory, uint32_t rate, uint16_t bits,
                           uint16_t channels) {
  OwnFolder folder;
  if (!folder.Open(directory, true)) return false;
  directory_ = directory;
  rate_ = rate;
  bits_ = bits;
  channels_ = channels;
  for (int attempt = 1; attempt <= 100 && !file_.IsOpen(); ++attempt) {
    stem_ = NewStem();
    file_.Create(folder, FileName());
  }
  if (!file_.IsOpen()) {
    stem_.clear();
    return false;
  }
  const std::vector<uint8_t> header = MakeWavHeader(rate_, bits_, channels_, 0);
  if (!file_.WriteAt(header.data(), header.size(), 0)) {
    Remove();
    return false;
  }
  nameUnsynced_ = true;
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
    bool nameUnsynced = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, kWakeInterval, [this] { return stop_; });
      pending.swap(queue_);
      stopping = stop_;
      nameUnsynced = std::exchange(nameUnsynced_, false);
    }
    // A new file or a new name: without this a power cut could lose the name or the placement.
    if (nameUnsynced) file_.SyncName();
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
  file_.Remove();
  stem_.clear();
}

void RecoveryWriter::SetPlacement(const TakePlacement& placement) {
  placement_ = placement;
  placed_ = true;
  if (!file_.IsOpen() || !file_.Rename(FileName())) return;
  if (thread_.joinable()) {
    const std::lock_guard<std::mutex> lock(mutex_);
    nameUnsynced_ = true;
  } else {
    file_.SyncName();
  }
}

std::string RecoveryWriter::FileName() const {
  return stem_ + (placed_ ? PlacementPart(placement_) : std::string()) + ".wav";
}

std::string RecoveryWriter::path() const {
  if (!file_.IsOpen()) return {};
  return (std::filesystem::u8path(directory_) / std::filesystem::u8path(file_.name())).u8string();
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
