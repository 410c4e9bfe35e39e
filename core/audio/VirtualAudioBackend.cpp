#include "audio/VirtualAudioBackend.h"

#include <algorithm>

#include "audio/FormatMask.h"

namespace velmora {

namespace {

constexpr int kInvalidDevice = -9996;
constexpr int kNotInitialised = -10000;

bool IsTableFormat(const WaveFormat& format) {
  for (const FormatMaskEntry& entry : kFormatMaskTable) {
    if (entry.samplesPerSec == format.samplesPerSec &&
        entry.bitsPerSample == format.bitsPerSample && entry.channels == format.channels) {
      return true;
    }
  }
  return false;
}

bool IsPlayableFormat(const WaveFormat& format) {
  return (format.channels == 1 || format.channels == 2) &&
         (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.samplesPerSec > 0;
}

}  // namespace

class VirtualAudioBackend::Stream : public AudioStream {
 public:
  Stream(VirtualAudioBackend& backend, Entry& entry) : backend_(backend), entry_(entry) {}
  ~Stream() override {
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    entry_.state.open = false;
    entry_.state.started = false;
    entry_.output = nullptr;
    entry_.input = nullptr;
  }
  int Start() override {
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    ++entry_.state.startCount;
    if (backend_.failStarts > 0) {
      --backend_.failStarts;
      return backend_.openError;
    }
    entry_.state.started = true;
    return 0;
  }
  int Stop() override {
    std::lock_guard<std::mutex> lock(backend_.mutex_);
    ++entry_.state.stopCount;
    entry_.state.started = false;
    return 0;
  }
  bool Drain() override {
    InputStreamCallback* input = nullptr;
    uint16_t frameBytes = 0;
    {
      std::lock_guard<std::mutex> lock(backend_.mutex_);
      if (!entry_.state.started || entry_.input == nullptr) return true;
      input = entry_.input;
      frameBytes = entry_.state.format.blockAlign;
    }
    std::vector<uint8_t>& way = backend_.inputOnTheWay;
    const size_t frames =
        std::min<size_t>(way.size() / std::max<uint16_t>(frameBytes, 1), input->FramesWanted());
    if (frames != 0) {
      input->Capture(way.data(), static_cast<uint32_t>(frames));
      way.erase(way.begin(), way.begin() + static_cast<std::ptrdiff_t>(frames * frameBytes));
    }
    return way.empty();
  }
  int Error() const override {
    if (backend_.failOnLook.load() > 0 && backend_.failOnLook.fetch_sub(1) == 1) {
      backend_.FailStreams(backend_.failOnLookError);
    }
    return entry_.error.load(std::memory_order_relaxed);
  }
  double Latency() const override { return entry_.latency; }

 private:
  VirtualAudioBackend& backend_;
  Entry& entry_;
};

VirtualAudioBackend::VirtualAudioBackend()
    : outputs{VirtualDevice{"Virtual Output", 0xFFFFF}},
      inputs{VirtualDevice{"Virtual Input", 0xFFFFF}} {}

VirtualAudioBackend::~VirtualAudioBackend() = default;

const std::vector<VirtualDevice>& VirtualAudioBackend::Devices(StreamDirection direction) const {
  return direction == StreamDirection::Output ? outputs : inputs;
}

int VirtualAudioBackend::DeviceCount(StreamDirection direction) const {
  return initialised ? static_cast<int>(Devices(direction).size()) : 0;
}

int VirtualAudioBackend::DeviceName(StreamDirection direction, int device,
                                    std::string& name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  nameQueries.emplace_back(direction, device);
  if (device == failQueryOf) {
    return queryError;
  }
  const int index = device == kDefaultDevice ? 0 : device;
  if (!initialised || index < 0 || index >= DeviceCount(direction)) {
    return kInvalidDevice;
  }
  name = device == kDefaultDevice ? "default" : Devices(direction)[index].name;
  return 0;
}

bool VirtualAudioBackend::IsFormatSupported(StreamDirection direction, int device,
                                            const WaveFormat& format) const {
  const int index = device == kDefaultDevice ? 0 : device;
  if (!initialised || index < 0 || index >= DeviceCount(direction) || !IsPlayableFormat(format)) {
    return false;
  }
  if (!IsTableFormat(format)) {
    return true;
  }
  const uint32_t bit = FormatBit(format.samplesPerSec, format.bitsPerSample, format.channels);
  return (Devices(direction)[index].formats & bit) != 0;
}

OpenStreamResult VirtualAudioBackend::Open(StreamDirection direction, int device,
                                           const WaveFormat& format, OutputStreamCallback* output,
                                           InputStreamCallback* input) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++openCalls;
  OpenStreamResult result;
  const int index = device == kDefaultDevice ? 0 : device;
  if (!initialised) {
    result.error = kNotInitialised;
  } else if (index < 0 || index >= DeviceCount(direction)) {
    result.error = kInvalidDevice;
  } else if (failOpens > 0) {
    --failOpens;
    result.error = openError;
  } else if (!IsPlayableFormat(format)) {
    result.error = -9994;  // sample format not supported
  }
  if (result.error != 0) {
    return result;
  }
  auto entry = std::make_unique<Entry>();
  entry->state.direction = direction;
  entry->state.device = device;
  entry->state.format = format;
  entry->output = output;
  entry->input = input;
  entry->latency = direction == StreamDirection::Output ? outputLatency : inputLatency;
  result.stream = std::make_unique<Stream>(*this, *entry);
  entries_.push_back(std::move(entry));
  return result;
}

OpenStreamResult VirtualAudioBackend::OpenOutput(int device, const WaveFormat& format,
                                                 OutputStreamCallback& callback) {
  return Open(StreamDirection::Output, device, format, &callback, nullptr);
}

OpenStreamResult VirtualAudioBackend::OpenPlannedOutput(int device, const WaveFormat& format,
                                                        OutputStreamCallback& callback) {
  OpenStreamResult result = Open(StreamDirection::Output, device, format, &callback, nullptr);
  if (result.stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.back()->state.planned = true;
    entries_.back()->latency = static_cast<double>(plannedLatencyFrames) / format.samplesPerSec;
  }
  return result;
}

OpenStreamResult VirtualAudioBackend::OpenInput(int device, const WaveFormat& format,
                                                InputStreamCallback& callback) {
  return Open(StreamDirection::Input, device, format, nullptr, &callback);
}

std::vector<uint8_t> VirtualAudioBackend::AdvanceOutput(uint32_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<uint8_t> last;
  for (const auto& entry : entries_) {
    const VirtualStreamState& state = entry->state;
    if (entry->output == nullptr || !state.started || state.error != 0) {
      continue;
    }
    std::vector<uint8_t> bytes(size_t{frames} * state.format.blockAlign);
    entry->output->Render(bytes.data(), frames);
    last = std::move(bytes);
  }
  return last;
}

bool VirtualAudioBackend::AdvanceInput(const std::vector<uint8_t>& bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  bool delivered = false;
  for (const auto& entry : entries_) {
    const VirtualStreamState& state = entry->state;
    if (entry->input == nullptr || !state.started || state.error != 0 ||
        state.format.blockAlign == 0) {
      continue;
    }
    const auto frames = static_cast<uint32_t>(bytes.size() / state.format.blockAlign);
    entry->input->Capture(bytes.data(), frames);
    delivered = true;
  }
  return delivered;
}

void VirtualAudioBackend::OverflowInput(uint32_t frames) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : entries_) {
    if (entry->input != nullptr && entry->state.started && entry->state.error == 0) {
      entry->input->Overflowed(frames);
    }
  }
}

void VirtualAudioBackend::FailStreams(int error) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto& entry : entries_) {
    if (entry->state.open) {
      entry->state.error = error;
      entry->error.store(error, std::memory_order_relaxed);
    }
  }
}

const VirtualStreamState* VirtualAudioBackend::LastStream(StreamDirection direction) const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
    if ((*it)->state.direction == direction) {
      return &(*it)->state;
    }
  }
  return nullptr;
}

int VirtualAudioBackend::OpenStreamCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  int count = 0;
  for (const auto& entry : entries_) {
    count += entry->state.open ? 1 : 0;
  }
  return count;
}

}  // namespace velmora
