#include "document/StreamingMix.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "document/ChannelLoading.h"
#include "document/WavReader.h"
#include "document/WavWriter.h"
#include "io/File.h"
#include "io/ReplacingFile.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

// Bytes read at a time for the automatic level: a whole number of samples of either width.
constexpr uint64_t kScanBytes = uint64_t{256} << 10;
constexpr uint64_t kHeaderBytes = RiffHeader::kBytes + ChunkHeader::kBytes;
// The output goes to the disk while the mix goes on, in steps of this many bytes, so that the
// final flush before the rename has little left to wait for.
constexpr uint64_t kWriteBackBytes = uint64_t{8} << 20;

std::error_code LastSystemError() {
  return {errno != 0 ? errno : EIO, std::generic_category()};
}

// The largest sample among `bytes` bytes from `offset`, read a piece at a time into `buffer`.
FailureKind PeakOfBytes(ByteSource& source, uint64_t offset, uint64_t bytes, int bits,
                        ByteBuffer& buffer, int32_t& peak) {
  const uint64_t sampleBytes = bits == 16 ? 2 : 1;
  peak = 0;
  for (uint64_t done = 0; done < bytes;) {
    const auto n = static_cast<std::size_t>(std::min<uint64_t>(buffer.size(), bytes - done));
    if (source.ReadAt(buffer.data(), n, offset + done) != n) return FailureKind::ReadFailed;
    peak = std::max(peak, PeakOfSamples(buffer.data(), n / sampleBytes, bits));
    done += n;
  }
  return FailureKind::None;
}

}  // namespace

// Runs one task at a time on a second thread, so that reading the inputs overlaps scanning or
// mixing. Run and Wait are called by one thread, in turn; everything the task wrote is visible
// to that thread once Wait returns.
class StreamingMix::SecondThread {
 public:
  SecondThread() = default;
  ~SecondThread() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  SecondThread(const SecondThread&) = delete;
  SecondThread& operator=(const SecondThread&) = delete;

  // Starts `task` after the previous one; false, with `task` not run, when no thread can be
  // started.
  bool Start(std::function<void()> task) {
    Wait();
    if (!Started()) return false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      task_ = std::move(task);
    }
    changed_.notify_all();
    return true;
  }
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !task_; });
  }

 private:
  bool Started() {
    if (thread_.joinable()) return true;
    try {
      thread_ = std::thread([this] { Loop(); });
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }
  void Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return quit_ || task_; });
      if (!task_) return;
      lock.unlock();
      task_();
      lock.lock();
      task_ = nullptr;
      changed_.notify_all();
    }
  }

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<void()> task_;  // guarded by mutex_; empty = none pending or running
  bool quit_ = false;           // guarded by mutex_
};

// Where mixed pieces go in the file: frames [first, end) of the mix follow the header, each piece
// at its place, and a piece outside them is dropped.
struct StreamingMix::Output {
  const std::string& path;
  File& file;
  uint32_t first = 0;
  uint32_t end = 0;
  uint32_t frameBytes = 4;
  uint32_t at = 0;  // the mix frame the file's position stands at
  uint64_t written = 0;
  uint64_t handedOver = 0;  // bytes already on their way to the disk

  Result Put(uint32_t from, uint32_t count, const uint8_t* bytes) {
    const uint32_t a = std::max(from, first);
    const uint32_t b = std::min(from + count, end);
    if (a >= b) return {};
    if (a != at) {
      errno = 0;
      if (!file.Seek(static_cast<int64_t>(kHeaderBytes + uint64_t{a - first} * frameBytes),
                     SEEK_SET)) {
        return FileFailure(FailureKind::SaveFailed, path, LastSystemError());
      }
    }
    errno = 0;
    if (!file.Write(bytes + uint64_t{a - from} * frameBytes, uint64_t{b - a} * frameBytes)) {
      return FileFailure(FailureKind::SaveFailed, path, LastSystemError());
    }
    at = b;
    written += uint64_t{b - a} * frameBytes;
    if (written - handedOver >= kWriteBackBytes) {
      file.StartWriteBack();
      handedOver = written;
    }
    return {};
  }
};

StreamingMix::StreamingMix(Ui& ui, AudioDecoder* decoder)
    : ui_(ui),
      decoder_(decoder),
      helper_(std::make_unique<SecondThread>()),
      partner_(std::make_unique<SecondThread>()) {}

StreamingMix::~StreamingMix() = default;

Result StreamingMix::LoadChannel(int index, const std::string& path) {
  Channel& channel = channels_[index];
  ChannelSlot& slot = channel.slot;
  slot.Clear();
  slot.path = path;
  const LoadedRates loaded = RatesLoaded();
  // A WAV channel's samples stay in its file: only its layout is read, and its level scanned.
  const WavChannelReader readLayout = [this, &channel](const RateRule& rateAccepted,
                                                       ChannelSlot& into) -> Result {
    std::error_code why;
    if (!channel.file.Open(into.path, &why)) {
      return FileFailure(FailureKind::CannotOpen, into.path, why);
    }
    WavLayout layout;
    if (Result parsed = ParseWavLayout(channel.file, rateAccepted, layout); !parsed) return parsed;
    into.header = layout.header;
    into.dataChunk = layout.dataChunk;
    into.dataChunk.size = layout.dataBytes;
    into.frames = layout.dataBytes / static_cast<uint32_t>(FrameBytes(layout.header));
    channel.dataOffset = layout.dataOffset;
    return ScanPeak(channel);
  };
  Result result = LoadChannelFile(
      decoder_, [&loaded](int32_t rate) { return IsRateCompatibleWith(rate, loaded); }, readLayout,
      slot);
  if (!result) slot.Clear();
  return result;
}

LoadedRates StreamingMix::RatesLoaded() const {
  LoadedRates rates{};
  for (int i = 0; i < kChannelCount; ++i) {
    if (channels_[i].slot.inUse) rates[i] = channels_[i].slot.header.samplesPerSec;
  }
  return rates;
}

// The automatic level from the samples on disk, read once from end to end: the second half of
// the file on the second thread.
Result StreamingMix::ScanPeak(Channel& channel) {
  ChannelSlot& slot = channel.slot;
  const int bits = slot.header.bitsPerSample;
  const auto frameBytes = static_cast<uint64_t>(slot.FrameBytes());
  const uint64_t total = uint64_t{slot.frames} * frameBytes;
  const uint64_t half = uint64_t{slot.frames} / 2 * frameBytes;
  const uint64_t bufferBytes = std::min(kScanBytes, std::max<uint64_t>(total - half, 1));
  ByteBuffer firstBuffer;
  ByteBuffer secondBuffer;
  if (!firstBuffer.Allocate(bufferBytes) || !secondBuffer.Allocate(bufferBytes)) {
    return FailureOf(FailureKind::OutOfMemory);
  }
  int32_t secondPeak = 0;
  FailureKind second = FailureKind::None;
  auto scanSecondHalf = [&] {
    second = PeakOfBytes(channel.file, channel.dataOffset + half, total - half, bits, secondBuffer,
                         secondPeak);
  };
  if (!helper_->Start(scanSecondHalf)) scanSecondHalf();
  int32_t firstPeak = 0;
  const FailureKind first =
      PeakOfBytes(channel.file, channel.dataOffset, half, bits, firstBuffer, firstPeak);
  helper_->Wait();
  if (first != FailureKind::None) return FailureOf(first);
  if (second != FailureKind::None) return FailureOf(second);
  slot.autoLevel = AutoLevelFromPeak(std::max(firstPeak, secondPeak), bits);
  return {};
}

MixBuild StreamingMix::Prepare(std::optional<uint32_t> blockFrames, bool withPeaks) {
  plan_ = MixPlan{};
  peaks_.Reset();
  std::vector<MixCorrection>().swap(corrections_);
  MixChannels sources{};
  for (int i = 0; i < kChannelCount; ++i) {
    Channel& channel = channels_[i];
    if (!channel.slot.inUse) continue;
    sources[i] = MixSourceOf(channel.slot);
    if (!ReadsFromFile(channel)) continue;
    // A piece reads at most as many frames of a channel as it mixes.
    const uint64_t frames = std::min<uint64_t>(pieceFrames_, channel.slot.frames);
    const uint64_t bytes = frames * static_cast<uint64_t>(channel.slot.FrameBytes());
    for (ByteBuffer& window : channel.windows) {
      if (!window.Allocate(bytes)) {
        ui_.ShowError(msg::kOutOfMemory);
        return MixBuild::OutOfMemory;
      }
    }
    sources[i].data = channel.windows[0].data();
  }
  plan_ = PlanMix(sources, settings_, blockFrames);
  // The document reports a mix too long to count as out of memory.
  if (plan_.outcome == MixBuild::TooLong) ui_.ShowError(msg::kOutOfMemory);
  if (!plan_.MakesMix()) return plan_.outcome;

  const std::size_t pieceBytes = std::size_t{pieceFrames_} * plan_.format.FrameBytes();
  const bool allocated = piece_.Allocate(pieceBytes) && kernel_.Prepare(plan_.job) &&
                         (!withPeaks || peaks_.Allocate(plan_.PeakEntries(), plan_.SampleBytes()));
  if (!allocated) {
    peaks_.Reset();
    plan_.outcome = MixBuild::OutOfMemory;
    ui_.ShowError(msg::kOutOfMemory);
    return plan_.outcome;
  }
  // Without the partner's memory the mix is made on one thread, as well.
  partnerPrepared_ = partnerKernel_.Prepare(plan_.job);
  return MixBuild::Built;
}

Result StreamingMix::WriteMixFile(const std::string& path, uint32_t first, uint32_t count,
                                  bool wholeMix) {
  const auto blockAlign = static_cast<int>(plan_.format.FrameBytes());
  if (!FitsInWav(count, blockAlign)) {
    return FileFailure(FailureKind::SaveFailed, path,
                       std::make_error_code(std::errc::file_too_large));
  }
  if (count > 0 && uint64_t{first} + count > mixFrames()) {
    return FileFailure(FailureKind::SaveFailed, path,
                       std::make_error_code(std::errc::invalid_argument));
  }
  ReplacingFile output(path);
  std::error_code why;
  if (!output.Open(why)) return FileFailure(FailureKind::SaveFailed, path, why);
  if (Result written = WriteContent(path, output.file(), first, count, wholeMix); !written) {
    return written;
  }
  if (!output.Commit(why)) return FileFailure(FailureKind::SaveFailed, path, why);
  return {};
}

Result StreamingMix::WriteContent(const std::string& path, File& file, uint32_t first,
                                  uint32_t count, bool wholeMix) {
  RiffHeader riff;
  ChunkHeader data;
  FillCanonical(riff, data, 2, static_cast<int>(plan_.format.rate), plan_.format.bits, count);
  uint8_t head[kHeaderBytes];
  riff.Encode(head);
  data.Encode(head + RiffHeader::kBytes);
  errno = 0;
  if (!file.Write(head, sizeof head)) {
    return FileFailure(FailureKind::SaveFailed, path, LastSystemError());
  }
  std::vector<MixCorrection>().swap(corrections_);
  if (peaks_.has()) peaks_.FillSilence();
  const uint32_t total = mixFrames();
  if (total == 0) return {};

  Output out{path, file, first, first + count, plan_.format.FrameBytes(), first};
  MixTarget target;
  target.pcm = piece_.data();
  target.peaks = peaks_.has() ? &peaks_ : nullptr;
  target.corrections = &corrections_;
  // The frames to mix, in the kernel's order: from the position to the end, then from frame 0.
  const uint32_t from = wholeMix ? 0 : first;
  const uint32_t to = wholeMix ? total : first + count;
  const uint32_t position = std::clamp(plan_.job.position, from, to);
  if (Result mixed = MixRange(position, to - position, target, out); !mixed) return mixed;
  return MixRange(from, position - from, target, out);
}

// The frames that one piece reads from each channel that reads its file, and whether reading them
// failed.
struct StreamingMix::PieceWindows {
  std::array<FrameSpan, kChannelCount> spans{};
  int unreadable = -1;
};

void StreamingMix::PlanWindows(uint32_t first, uint32_t count, PieceWindows& windows) const {
  for (int i = 0; i < kChannelCount; ++i) {
    windows.spans[i] =
        ReadsFromFile(channels_[i]) ? kernel_.SourceFramesOf(i, first, count) : FrameSpan{};
  }
  windows.unreadable = -1;
}

void StreamingMix::ReadWindows(int set, PieceWindows& windows) {
  for (int i = 0; i < kChannelCount; ++i) {
    const FrameSpan& span = windows.spans[i];
    if (span.count == 0) continue;
    Channel& channel = channels_[i];
    ByteBuffer& window = channel.windows[set];
    const auto frameBytes = static_cast<uint64_t>(channel.slot.FrameBytes());
    const uint64_t bytes = span.count * frameBytes;
    const uint64_t offset = channel.dataOffset + static_cast<uint64_t>(span.first) * frameBytes;
    if (bytes > window.size() || channel.file.ReadAt(window.data(), bytes, offset) != bytes) {
      windows.unreadable = i;
      return;
    }
  }
}

// The pieces of one range: the second thread reads their frames up to kWindowSets pieces ahead
// of the one being mixed, each into window set (piece % kWindowSets).
struct StreamingMix::ReadAhead {
  std::mutex mutex;
  std::condition_variable changed;
  uint64_t read = 0;   // guarded: pieces whose frames are read (or failed to be)
  uint64_t mixed = 0;  // guarded: pieces mixed, whose window sets are free again
  bool stop = false;   // guarded: the mixing ended early
  // Set j % kWindowSets: written by the reader before `read` passes j, then read by the mixer.
  std::array<PieceWindows, kWindowSets> sets;
};

void StreamingMix::ReadPieces(const PieceRange& range, ReadAhead& ahead) {
  for (uint64_t j = 0; j < range.pieces; ++j) {
    {
      std::unique_lock<std::mutex> lock(ahead.mutex);
      ahead.changed.wait(lock, [&] { return ahead.stop || j < ahead.mixed + kWindowSets; });
      if (ahead.stop) return;
    }
    if (!ReadPiece(range, j, ahead)) return;
  }
}

bool StreamingMix::ReadPiece(const PieceRange& range, uint64_t j, ReadAhead& ahead) {
  const int set = static_cast<int>(j % kWindowSets);
  PieceWindows& windows = ahead.sets[set];
  PlanWindows(range.Start(j), range.Length(j), windows);
  ReadWindows(set, windows);
  {
    std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.read = j + 1;
  }
  ahead.changed.notify_all();
  return windows.unreadable < 0;
}

Result StreamingMix::MixRange(uint32_t first, uint32_t count, const MixTarget& target,
                              Output& out) {
  const PieceRange range{first, count, pieceFrames_};
  ReadAhead ahead;
  // Without a second thread, each piece is read here just before it is mixed.
  const bool readingAhead = helper_->Start([this, &range, &ahead] { ReadPieces(range, ahead); });
  MixTarget piece = target;
  Result mixed;
  for (uint64_t j = 0; j < range.pieces && mixed; ++j) {
    if (!readingAhead) {
      ReadPiece(range, j, ahead);
    } else {
      std::unique_lock<std::mutex> lock(ahead.mutex);
      ahead.changed.wait(lock, [&] { return j < ahead.read; });
    }
    const int set = static_cast<int>(j % kWindowSets);
    const PieceWindows& windows = ahead.sets[set];
    if (windows.unreadable >= 0) {
      // The input was cut short or went away since it was loaded: the system says nothing.
      mixed = FailureOf(FailureKind::ReadFailed, channels_[windows.unreadable].slot.path);
      break;
    }
    for (int i = 0; i < kChannelCount; ++i) {
      if (windows.spans[i].count == 0) continue;
      const uint8_t* frames = channels_[i].windows[set].data();
      kernel_.SetSourceWindow(i, frames, windows.spans[i].first);
      if (partnerPrepared_) partnerKernel_.SetSourceWindow(i, frames, windows.spans[i].first);
    }
    const uint32_t at = range.Start(j);
    const uint32_t n = range.Length(j);
    piece.pcmFirstFrame = at;
    MixPiece(piece, at, n);
    mixed = out.Put(at, n, piece_.data());
    {
      std::lock_guard<std::mutex> lock(ahead.mutex);
      ahead.mixed = j + 1;
      ahead.stop = !mixed.ok();
    }
    ahead.changed.notify_all();
  }
  {
    std::lock_guard<std::mutex> lock(ahead.mutex);
    ahead.stop = true;
  }
  ahead.changed.notify_all();
  helper_->Wait();
  return mixed;
}

uint32_t StreamingMix::SplitPoint(uint32_t first, uint32_t count) const {
  if (!partnerPrepared_ || count < kSplitFrames) return first;
  uint32_t split = first + count / 2;
  if (peaks_.has()) split -= split % plan_.job.blockFrames;
  return split > first ? split : first;
}

void StreamingMix::MixPiece(const MixTarget& target, uint32_t first, uint32_t count) {
  const uint32_t split = SplitPoint(first, count);
  if (split == first) {
    kernel_.RunPiece(target, first, count);
    return;
  }
  // The parts write apart in the piece's samples and the peak table; only the correction runs
  // are kept apart and joined in order.
  MixTarget later = target;
  later.corrections = &partnerCorrections_;
  later.cursor = nullptr;
  partnerCorrections_.clear();
  const uint32_t laterCount = first + count - split;
  const bool alongside = partner_->Start(
      [this, &later, split, laterCount] { partnerKernel_.RunPiece(later, split, laterCount); });
  kernel_.RunPiece(target, first, split - first);
  if (alongside) {
    partner_->Wait();
  } else {
    partnerKernel_.RunPiece(later, split, laterCount);
  }
  AppendCorrections(*target.corrections, partnerCorrections_);
}

}  // namespace velmora
