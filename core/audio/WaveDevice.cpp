#include "audio/WaveDevice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <utility>

#include "audio/FormatMask.h"
#include "io/Format.h"
#include "io/LittleEndian.h"

namespace velmora {

namespace {

uint8_t SilenceValue(uint16_t bitsPerSample) {
  return bitsPerSample == 8 ? 0x80 : 0;
}

int32_t Scale(int32_t sample, uint32_t gain) {
  return static_cast<int32_t>(static_cast<int64_t>(sample) * gain / 0xFFFF);
}

// Scales frame-aligned samples in place; full gain leaves them untouched.
void ApplyVolume(uint8_t* data, uint32_t frames, const WaveFormat& format, uint32_t volume) {
  const uint32_t left = volume & 0xFFFF;
  const uint32_t right = volume >> 16;
  if (left == 0xFFFF && (format.channels == 1 || right == 0xFFFF)) {
    return;
  }
  const uint32_t samples = frames * format.channels;
  for (uint32_t i = 0; i < samples; ++i) {
    const uint32_t gain = (format.channels == 2 && i % 2 == 1) ? right : left;
    if (format.bitsPerSample == 16) {
      uint8_t* p = data + size_t{i} * 2;
      le::Put16(p, static_cast<uint16_t>(Scale(le::I16(p), gain)));
    } else {
      data[i] = static_cast<uint8_t>(Scale(data[i] - 128, gain) + 128);
    }
  }
}

Failure DeviceFailure(FailureKind what, StreamDirection direction, int device, int code) {
  const char* side = direction == StreamDirection::Output ? "output" : "input";
  std::string where = device == kDefaultDevice ? Format("default %s device", side)
                                               : Format("%s device %d", side, device);
  return Failure{what, std::move(where), code, {}, 0};
}

}  // namespace

WaveDevice::WaveDevice(AudioBackend& backend)
    : backend_(backend), initialised_(backend.Initialised()) {
  for (auto& bytes : recordedBytes) {
    bytes.store(0, std::memory_order_relaxed);
  }
}

WaveDevice::~WaveDevice() {
  ClosePlayback();
  CloseRecord();
  CloseHold();
}

void WaveDevice::FillFormat() {
  format = MakePcmFormat(sampleRate, bitsPerSample, channels);
}

uint32_t WaveDevice::OutputBlockBytes(uint32_t blockNumber) const {
  const uint32_t length =
      (blockNumber == lastIndex && lastBlockLength != 0) ? lastBlockLength : blockLength;
  return outFormat_.bitsPerSample == 16 ? length * 2 : length;
}

uint32_t WaveDevice::InputBlockBytes() const {
  return static_cast<uint32_t>(uint64_t{inFormat_.channels} * inFormat_.bitsPerSample *
                               blockLength / 8);
}

OpenStreamResult WaveDevice::OpenOutputWithRetry(int device, OutputStreamCallback& callback) {
  // A busy output device is tried exactly once more, after letting go of this object's own hold
  // on it (a device that takes one stream at a time is busy with it).
  const auto open = [&] {
    return plannedOutput ? backend_.OpenPlannedOutput(device, format, callback)
                         : backend_.OpenOutput(device, format, callback);
  };
  OpenStreamResult result = open();
  if (!result.stream) {
    CloseHold();
    result = open();
  }
  return result;
}

// ---- Output ----

Result WaveDevice::OpenPlayback(int device, bool startPaused) {
  if (lastIndex >= kBlockSlots) {
    // More blocks than slots would overwrite the first ones.
    return DeviceFailure(FailureKind::TooManyBlocks, StreamDirection::Output, device, 0);
  }
  // A second open would leave the first stream playing with nobody to close it.
  if (outputOpen) {
    CloseOutputStream();
  }
  FillFormat();
  outFormat_ = format;
  outDevice_ = device;
  OpenStreamResult opened = OpenOutputWithRetry(device, *this);
  if (!opened.stream) {
    return DeviceFailure(FailureKind::DeviceOpen, StreamDirection::Output, device, opened.error);
  }
  for (uint32_t i = 0; i <= lastIndex; ++i) {
    outBlocks_[i] = Block{blockData[i], OutputBlockBytes(i)};
  }
  preparedCount = lastIndex + 1;
  // Nothing sounds until the queue is filled and the stream runs.
  outputSilenced_.store(true, std::memory_order_relaxed);
  outOffset_.store(0, std::memory_order_relaxed);
  outPlayed_.store(0, std::memory_order_relaxed);
  doneCount.store(0, std::memory_order_relaxed);
  written_.store(lastIndex + 1, std::memory_order_release);
  cursor = lastIndex;
  if (const int error = opened.stream->Start(); error != 0) {
    return DeviceFailure(FailureKind::DeviceStart, StreamDirection::Output, device, error);
  }
  outStream_ = std::move(opened.stream);
  if (startPaused) {
    streamPaused = true;
  } else {
    outputSilenced_.store(false, std::memory_order_release);
  }
  outputOpen = true;
  return {};
}

void WaveDevice::PublishOutputThrough(uint32_t blockNumber) {
  // Blocks skipped by an earlier failure count as returned without sounding, so the owner
  // still sees the end of the sound. Their slots are free, as this later one's slot is.
  for (uint32_t n = written_.load(std::memory_order_relaxed); n < blockNumber; ++n) {
    outBlocks_[n % kBlockSlots] = Block{};
  }
  written_.store(blockNumber + 1, std::memory_order_release);
}

Result WaveDevice::QueuePending() {
  if (!outputOpen) {
    return DeviceFailure(FailureKind::DeviceNotOpen, StreamDirection::Output, outDevice_, 0);
  }
  while (cursor < lastIndex) {
    ++cursor;
    if (cursor >= doneCount.load(std::memory_order_acquire) + kBlockSlots) {
      return DeviceFailure(FailureKind::BlockStillQueued, StreamDirection::Output, outDevice_,
                           kBlockStillQueued);
    }
    outBlocks_[cursor % kBlockSlots] =
        Block{blockData[cursor % kBlockSlots], OutputBlockBytes(cursor)};
    if (const int error = outStream_->Error(); error != 0) {
      return DeviceFailure(FailureKind::OutputWrite, StreamDirection::Output, outDevice_, error);
    }
    PublishOutputThrough(cursor);
  }
  return {};
}

bool WaveDevice::Pause() {
  if (!outputOpen) {
    return false;
  }
  streamPaused = true;
  outputSilenced_.store(true, std::memory_order_release);
  return true;
}

bool WaveDevice::Resume() {
  if (!streamPaused) {
    return false;
  }
  streamPaused = false;
  if (outputOpen) {
    outputSilenced_.store(false, std::memory_order_release);
  }
  if (inputOpen) {
    inputStarted_.store(true, std::memory_order_release);
  }
  return true;
}

void WaveDevice::CloseOutputStream() {
  if (outStream_) {
    outStream_->Stop();
    outStream_.reset();
  }
  // The callback has stopped for good, so nothing is waited for: a stream that died with blocks
  // still queued would otherwise never return them.
  doneCount.store(cursor + 1, std::memory_order_release);
  outputSilenced_.store(false, std::memory_order_relaxed);
  outputOpen = false;
}

void WaveDevice::ClosePlayback() {
  streamPaused = false;
  if (outputOpen) {
    CloseOutputStream();
  }
}

Result WaveDevice::CheckOutput() const {
  if (!outputOpen || !outStream_) return {};
  if (const int error = outStream_->Error(); error != 0) {
    return DeviceFailure(FailureKind::OutputFailed, StreamDirection::Output, outDevice_, error);
  }
  return {};
}

void WaveDevice::Render(uint8_t* out, uint32_t frames) {
  if (frames == 0) return;  // a backend may ask for nothing, with no buffer
  const uint32_t total = frames * outFormat_.blockAlign;
  uint32_t filled = 0;
  if (!outputSilenced_.load(std::memory_order_acquire)) {
    uint32_t done = doneCount.load(std::memory_order_relaxed);
    const uint32_t written = written_.load(std::memory_order_acquire);
    uint32_t offset = outOffset_.load(std::memory_order_relaxed);
    while (filled < total && done != written) {
      const Block& block = outBlocks_[done % kBlockSlots];
      const uint32_t count = std::min(block.bytes - offset, total - filled);
      if (block.data != nullptr) {
        std::memcpy(out + filled, block.data + offset, count);
      } else {
        std::memset(out + filled, SilenceValue(outFormat_.bitsPerSample), count);
      }
      filled += count;
      offset += count;
      if (offset >= block.bytes) {
        offset = 0;
        ++done;
        doneCount.store(done, std::memory_order_release);
      }
    }
    outOffset_.store(offset, std::memory_order_relaxed);
    outPlayed_.store(outPlayed_.load(std::memory_order_relaxed) + filled,
                     std::memory_order_release);
  }
  std::memset(out + filled, SilenceValue(outFormat_.bitsPerSample), total - filled);
  ApplyVolume(out, frames, outFormat_, volume_.load(std::memory_order_relaxed));
}

// ---- Input ----

Result WaveDevice::OpenRecord(int device, bool startPaused) {
  if (inputOpen) {
    CloseInputStream();
  }
  FillFormat();
  inFormat_ = format;
  inDevice_ = device;
  OpenStreamResult opened = backend_.OpenInput(device, format, *this);
  if (!opened.stream) {
    return DeviceFailure(FailureKind::DeviceOpen, StreamDirection::Input, device, opened.error);
  }
  const uint32_t bytes = InputBlockBytes();
  for (uint32_t slot = 0; slot < kBlockSlots; ++slot) {
    inBlocks_[slot] = Block{blockData[slot], bytes};
    recordedBytes[slot].store(0, std::memory_order_relaxed);
    lostBefore[slot].store(0, std::memory_order_relaxed);
    lostAt[slot].store(0, std::memory_order_relaxed);
  }
  pendingLostFrames.store(0, std::memory_order_relaxed);
  pendingLostAt_.store(0, std::memory_order_relaxed);
  lastIndex = kBlockSlots - 1;
  doneCount.store(0, std::memory_order_relaxed);
  inOffset_.store(0, std::memory_order_relaxed);
  handed_.store(kBlockSlots, std::memory_order_release);
  // Paused, the stream runs but keeps nothing until Resume, so both directions start together.
  inputStarted_.store(!startPaused, std::memory_order_release);
  if (const int error = opened.stream->Start(); error != 0) {
    inputStarted_.store(false, std::memory_order_relaxed);
    return DeviceFailure(FailureKind::DeviceStart, StreamDirection::Input, device, error);
  }
  inStream_ = std::move(opened.stream);
  if (startPaused) {
    streamPaused = true;
  }
  inputOpen = true;
  return {};
}

Result WaveDevice::RequeueInput() {
  if (!inputOpen) {
    return DeviceFailure(FailureKind::DeviceNotOpen, StreamDirection::Input, inDevice_, 0);
  }
  while (lastIndex < cursor + (kBlockSlots - 1)) {
    const uint32_t next = lastIndex + 1;
    int error = 0;
    if (next >= doneCount.load(std::memory_order_acquire) + kBlockSlots) {
      error = kBlockStillQueued;
    } else {
      error = inStream_->Error();
    }
    if (error != 0) {
      return DeviceFailure(FailureKind::Requeue, StreamDirection::Input, inDevice_, error);
    }
    handed_.store(next + 1, std::memory_order_release);
    lastIndex = next;
  }
  return {};
}

void WaveDevice::CloseInputStream() {
  if (inStream_) {
    inStream_->Stop();
    inStream_.reset();
  }
  // The callback has stopped: the block being filled returns with what it holds (and a loss
  // that came after its frames), the rest empty.
  uint32_t done = doneCount.load(std::memory_order_relaxed);
  const uint32_t handed = handed_.load(std::memory_order_relaxed);
  uint32_t partial = inOffset_.load(std::memory_order_relaxed);
  for (; done != handed; ++done) {
    ReturnInputBlock(done % kBlockSlots, partial);
    partial = 0;
  }
  doneCount.store(handed, std::memory_order_release);
  inOffset_.store(0, std::memory_order_relaxed);
  inputStarted_.store(false, std::memory_order_relaxed);
  inputOpen = false;
}

void WaveDevice::CloseRecord() {
  if (inputOpen) {
    CloseInputStream();
  }
}

Result WaveDevice::CheckInput() const {
  if (!inputOpen || !inStream_) return {};
  if (const int error = inStream_->Error(); error != 0) {
    return DeviceFailure(FailureKind::InputFailed, StreamDirection::Input, inDevice_, error);
  }
  return {};
}

void WaveDevice::Capture(const uint8_t* in, uint32_t frames) {
  if (!inputStarted_.load(std::memory_order_acquire)) {
    return;
  }
  const uint32_t total = frames * inFormat_.blockAlign;
  uint32_t used = 0;
  uint32_t done = doneCount.load(std::memory_order_relaxed);
  const uint32_t handed = handed_.load(std::memory_order_acquire);
  uint32_t offset = inOffset_.load(std::memory_order_relaxed);
  while (used < total && done != handed) {
    const uint32_t slot = done % kBlockSlots;
    const Block& block = inBlocks_[slot];
    const uint32_t count = std::min(block.bytes - offset, total - used);
    if (block.data != nullptr) {
      std::memcpy(block.data + offset, in + used, count);
    }
    used += count;
    offset += count;
    if (offset >= block.bytes) {
      ReturnInputBlock(slot, offset);
      offset = 0;
      ++done;
      doneCount.store(done, std::memory_order_release);
    }
  }
  inOffset_.store(offset, std::memory_order_relaxed);
  // Frames that find no handed block are lost (the owner has not kept up); they are counted as
  // lost before the next block, so that the owner can keep its take in time.
  if (used < total && inFormat_.blockAlign != 0) {
    Overflowed((total - used) / inFormat_.blockAlign);
  }
}

void WaveDevice::ReturnInputBlock(uint32_t slot, uint32_t bytes) {
  recordedBytes[slot].store(bytes, std::memory_order_relaxed);
  lostBefore[slot].store(pendingLostFrames.exchange(0, std::memory_order_relaxed),
                         std::memory_order_relaxed);
  lostAt[slot].store(pendingLostAt_.exchange(0, std::memory_order_relaxed),
                     std::memory_order_relaxed);
}

void WaveDevice::Overflowed(uint32_t frames) {
  // Before Resume nothing is kept, so nothing is lost. Two losses in one block are put together
  // at the place of the first.
  if (!inputStarted_.load(std::memory_order_acquire) || frames == 0) return;
  if (pendingLostFrames.load(std::memory_order_relaxed) == 0 && inFormat_.blockAlign != 0) {
    pendingLostAt_.store(inOffset_.load(std::memory_order_relaxed) / inFormat_.blockAlign,
                         std::memory_order_relaxed);
  }
  pendingLostFrames.fetch_add(frames, std::memory_order_relaxed);
}

uint32_t WaveDevice::FramesWanted() const {
  // Before Resume every frame is let go anyway.
  if (!inputStarted_.load(std::memory_order_acquire) || inFormat_.blockAlign == 0) {
    return UINT32_MAX;
  }
  const uint32_t blocks =
      handed_.load(std::memory_order_acquire) - doneCount.load(std::memory_order_relaxed);
  const uint64_t bytes = uint64_t{blocks} * InputBlockBytes() -
                         std::min<uint64_t>(inOffset_.load(std::memory_order_relaxed),
                                            uint64_t{blocks} * InputBlockBytes());
  return static_cast<uint32_t>(std::min<uint64_t>(bytes / inFormat_.blockAlign, UINT32_MAX));
}

bool WaveDevice::DrainRecord() {
  return !inputOpen || !inStream_ || inStream_->Drain();
}

double WaveDevice::OutputLatency() const {
  return outputOpen && outStream_ ? outStream_->Latency() : 0;
}

uint32_t WaveDevice::OutputLatencyFrames() const {
  return static_cast<uint32_t>(std::lround(OutputLatency() * outFormat_.samplesPerSec));
}

double WaveDevice::InputLatency() const {
  return inputOpen && inStream_ ? inStream_->Latency() : 0;
}

// ---- Devices ----

int WaveDevice::Enumerate(StreamDirection direction, uint32_t& maxFormats,
                          std::array<WaveDeviceCaps, kMaxListedDevices>& caps) {
  const int count = backend_.DeviceCount(direction);
  const int listed = std::min(count, kMaxListedDevices);
  uint32_t largest = 0;
  for (int device = kDefaultDevice; device < listed; ++device) {
    std::string name;
    if (backend_.DeviceName(direction, device, name) != 0) {
      maxFormats = largest;
      return -1;
    }
    const uint32_t formats = QueryFormatMask(backend_, direction, device);
    largest = std::max(largest, formats);
    if (device >= 0) {
      caps[device] = WaveDeviceCaps{name, formats};
    }
  }
  for (int slot = std::max(listed, 0); slot < kMaxListedDevices; ++slot) {
    caps[slot] = WaveDeviceCaps{};
  }
  maxFormats = largest;
  return count;
}

int WaveDevice::EnumerateOutputDevices(uint32_t& maxFormats,
                                       std::array<WaveDeviceCaps, kMaxListedDevices>& caps) {
  return Enumerate(StreamDirection::Output, maxFormats, caps);
}

int WaveDevice::EnumerateInputDevices(uint32_t& maxFormats,
                                      std::array<WaveDeviceCaps, kMaxListedDevices>& caps) {
  return Enumerate(StreamDirection::Input, maxFormats, caps);
}

bool WaveDevice::SetVolume(uint32_t volume) {
  sampleRate = 11025;
  bitsPerSample = 8;
  channels = 1;
  FillFormat();
  std::string name;
  if (!initialised_ || backend_.DeviceName(StreamDirection::Output, kDefaultDevice, name) != 0) {
    return false;
  }
  volume_.store(volume, std::memory_order_relaxed);
  return true;
}

// ---- Hold ----

void WaveDevice::Silence::Render(uint8_t* out, uint32_t frames) {
  std::memset(out, value, size_t{frames} * frameBytes);
}

void WaveDevice::OpenHold(int device) {
  CloseHold();
  FillFormat();
  holdSilence_.frameBytes = format.blockAlign;
  holdSilence_.value = SilenceValue(format.bitsPerSample);
  // Opened, not started: it only keeps the device for the next streams.
  holdStream_ = OpenOutputWithRetry(device, holdSilence_).stream;
}

void WaveDevice::CloseHold() {
  holdStream_.reset();
}

}  // namespace velmora
