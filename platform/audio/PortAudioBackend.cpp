#include "PortAudioBackend.h"

#include <alsa/error.h>
#include <fcntl.h>
#include <portaudio.h>
#ifdef __linux__
#include <pa_linux_alsa.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "audio/CaptureReader.h"
#include "audio/DeviceOrder.h"

namespace velmora {

namespace {

// ALSA reports every failed probe on stderr; the program reports device failures itself.
void IgnoreAlsaError(const char* /*file*/, int /*line*/, const char* /*function*/, int /*err*/,
                     const char* /*fmt*/, ...) {}

// Sends the process's stdout and stderr to /dev/null while a library call runs: PortAudio's
// probes and JACK's client library print their failures there. Only the user-interface thread
// prints nothing of its own meanwhile.
class QuietConsole {
 public:
  QuietConsole() {
    std::fflush(stdout);
    std::fflush(stderr);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (null < 0) {
      return;
    }
    savedOut_ = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    savedErr_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
    if (savedOut_ >= 0) dup2(null, STDOUT_FILENO);
    if (savedErr_ >= 0) dup2(null, STDERR_FILENO);
    close(null);
  }
  ~QuietConsole() {
    std::fflush(stdout);
    std::fflush(stderr);
    Restore(savedOut_, STDOUT_FILENO);
    Restore(savedErr_, STDERR_FILENO);
  }
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;

 private:
  static void Restore(int saved, int target) {
    if (saved >= 0) {
      dup2(saved, target);
      close(saved);
    }
  }
  int savedOut_ = -1;
  int savedErr_ = -1;
};

PaSampleFormat SampleFormat(const WaveFormat& format) {
  switch (format.bitsPerSample) {
    case 8:
      return paUInt8;
    case 16:
      return paInt16;
    default:
      return 0;
  }
}

// Output latency asked of the device: what the sound system holds ahead of the ear. Play's first
// sound, Pause's silence, a beep and a metronome click all come this late, so it must stay well
// under the 60 ms a user hears as a lag. The block queue behind it holds seconds, so the
// device's own buffer only has to ride out the scheduling of the audio thread, which 30 ms does
// on a loaded machine without underruns; PortAudio's high latency gives PulseAudio's ALSA plugin
// a buffer of seconds.
constexpr double kOutputLatencySeconds = 0.030;
// A planned output (the metronome) is decided seconds ahead: its device buffer can be deep enough
// to ride out a machine so busy that 30 ms runs dry and the sink slips silence in.
constexpr double kPlannedOutputLatencySeconds = 0.250;

// The input's buffer: deep enough that a loaded machine never lets it overflow (the reading thread
// queues what it reads behind it), in short periods so that captured sound reaches the program
// promptly: Stop takes every frame captured before the press.
constexpr double kInputBufferSeconds = 0.25;
constexpr int kInputPeriods = 20;  // 12.5 ms each
// What PortAudio's ALSA streams are opened with unless told otherwise.
constexpr int kAlsaDefaultPeriods = 4;

PaStreamParameters Parameters(StreamDirection direction, int index, const WaveFormat& format,
                              double outputLatencySeconds = kOutputLatencySeconds) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
  PaStreamParameters parameters{};
  parameters.device = index;
  parameters.channelCount = format.channels;
  parameters.sampleFormat = SampleFormat(format);
  parameters.suggestedLatency = direction == StreamDirection::Output
                                    ? outputLatencySeconds
                                    : std::max(info->defaultHighInputLatency, kInputBufferSeconds);
  parameters.hostApiSpecificStreamInfo = nullptr;
  return parameters;
}

int RenderOutput(const void* /*input*/, void* output, unsigned long frames,
                 const PaStreamCallbackTimeInfo* /*time*/, PaStreamCallbackFlags /*flags*/,
                 void* user) {
  static_cast<OutputStreamCallback*>(user)->Render(static_cast<uint8_t*>(output),
                                                   static_cast<uint32_t>(frames));
  return paContinue;
}

// Stops a started stream at once. 0 or PortAudio's error.
int AbortStream(PaStream* stream, std::mutex& library) {
  const std::lock_guard<std::mutex> lock(library);
  QuietConsole quiet;
  const PaError error = Pa_AbortStream(stream);
  return error == paStreamIsStopped ? 0 : error;
}

// A started stream of ours never finishes by itself: inactive means it failed.
int InactiveStreamError(PaStream* stream, std::mutex& library) {
  const std::lock_guard<std::mutex> lock(library);
  const PaError active = Pa_IsStreamActive(stream);
  if (active < 0) {
    return active;
  }
  return active == 0 ? paStreamIsStopped : 0;
}

class PortAudioStream : public AudioStream {
 public:
  // `library` is the backend's lock, which outlives the stream.
  PortAudioStream(PaStream* stream, std::mutex& library) : stream_(stream), library_(library) {
    // Called with the library's lock held, by the open.
    if (const PaStreamInfo* info = Pa_GetStreamInfo(stream_); info != nullptr) {
      latency_ = info->outputLatency;
    }
  }
  ~PortAudioStream() override {
    const std::lock_guard<std::mutex> lock(library_);
    QuietConsole quiet;
    Pa_CloseStream(stream_);  // aborts a running stream first
  }
  PortAudioStream(const PortAudioStream&) = delete;
  PortAudioStream& operator=(const PortAudioStream&) = delete;

  int Start() override {
    const std::lock_guard<std::mutex> lock(library_);
    QuietConsole quiet;
    const PaError error = Pa_StartStream(stream_);
    started_ = error == paNoError;
    return error;
  }
  int Stop() override {
    if (!started_) {
      return 0;
    }
    started_ = false;
    return AbortStream(stream_, library_);
  }
  int Error() const override { return started_ ? InactiveStreamError(stream_, library_) : 0; }
  double Latency() const override { return latency_; }

 private:
  PaStream* stream_;
  std::mutex& library_;
  bool started_ = false;
  double latency_ = 0;
};

// An input read on a thread of ours instead of in PortAudio's callback: with PulseAudio's ALSA
// plug-in the library's capture thread wakes for every part of a period the server hands over and
// spins on it, nearly half a core for as long as the stream runs. Reading whatever has arrived a
// few times per period costs about one per cent. What to read and when to hand it on is core's
// CaptureReader; this class only reads the library and the steady clock.
class PortAudioInputStream : public AudioStream, private PolledInput {
 public:
  // `library` is the backend's lock, which outlives the stream. Throws std::bad_alloc.
  PortAudioInputStream(PaStream* stream, std::mutex& library, const WaveFormat& format,
                       InputStreamCallback& callback)
      : stream_(stream), library_(library), reader_(*this, callback, format) {
    // Called with the library's lock held, by the open.
    if (const PaStreamInfo* info = Pa_GetStreamInfo(stream_); info != nullptr) {
      latency_ = info->inputLatency;
#ifdef __linux__
      // Frames come a period after they are captured: the rest of the buffer is room, not delay.
      latency_ /= kInputPeriods;
#endif
    }
  }
  ~PortAudioInputStream() override {
    StopReading();
    const std::lock_guard<std::mutex> lock(library_);
    QuietConsole quiet;
    Pa_CloseStream(stream_);
  }
  PortAudioInputStream(const PortAudioInputStream&) = delete;
  PortAudioInputStream& operator=(const PortAudioInputStream&) = delete;

  int Start() override {
    const std::lock_guard<std::mutex> lock(library_);
    QuietConsole quiet;
    const PaError error = Pa_StartStream(stream_);
    if (error != paNoError) return error;
    failure_.store(paNoError);
    stopping_.store(false);
    try {
      thread_ = std::thread(&PortAudioInputStream::ReadUntilStopped, this);
    } catch (const std::system_error&) {
      Pa_AbortStream(stream_);
      return paInsufficientMemory;
    }
    return paNoError;
  }
  int Stop() override {
    if (!thread_.joinable()) {
      return 0;
    }
    StopReading();
    return AbortStream(stream_, library_);
  }
  int Error() const override {
    if (!thread_.joinable()) {
      return 0;
    }
    const int failure = failure_.load();
    return failure != paNoError ? failure : InactiveStreamError(stream_, library_);
  }
  double Latency() const override {
    return latency_;
  }

  bool Drain() override {
    if (!thread_.joinable() || failure_.load() != paNoError) return true;
    const double now = SteadySeconds();
    double expected = 0;
    finishAt_.compare_exchange_strong(expected, now);  // the first call's time stands
    stuck_.store(false);
    while (!finished_.load() && !stuck_.load() && failure_.load() == paNoError &&
           SteadySeconds() - now < kDrainSeconds) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return finished_.load() || failure_.load() != paNoError;
  }

 private:
  // The thread looks again after this long when there was nothing to read.
  static constexpr double kPauseSeconds = 0.005;
  // What Drain waits at most: frames captured before it are on their way for a period or two.
  static constexpr double kDrainSeconds = 0.3;

  static double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }

  void StopReading() {
    if (!thread_.joinable()) return;
    stopping_.store(true);
    thread_.join();
  }

  // The stream's reads are its own: they take no library lock, as PortAudio's callback would not.
  long FramesReady() override {
    return Pa_GetStreamReadAvailable(stream_);
  }
  int Read(uint8_t* to, uint32_t frames, bool& overflowed) override {
    const PaError error = Pa_ReadStream(stream_, to, frames);
    overflowed = error == paInputOverflowed;
    return overflowed ? paNoError : error;
  }

  void ReadUntilStopped() {
    const auto pause = std::chrono::duration<double>(kPauseSeconds);
    bool finishing = false;
    while (!stopping_.load()) {
      if (!finishing && finishAt_.load() > 0) {
        finishing = true;
        reader_.FinishAt(finishAt_.load());
      }
      if (reader_.Turn(SteadySeconds())) continue;
      if (reader_.failure() != 0) {
        failure_.store(reader_.failure());
        return;
      }
      if (reader_.finished()) finished_.store(true);
      if (reader_.stuck()) stuck_.store(true);
      std::this_thread::sleep_for(pause);
    }
  }

  PaStream* stream_;
  std::mutex& library_;
  CaptureReader reader_;  // the reading thread's
  double latency_ = 0;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> failure_{paNoError};
  std::atomic<double> finishAt_{0};  // set by Drain
  std::atomic<bool> finished_{false};
  std::atomic<bool> stuck_{false};  // the reader waits for room at the callback
};

// The devices the program offers, best first (see audio/DeviceOrder.h).
std::vector<int> InOfferedOrder(const std::vector<int>& indices) {
  std::vector<std::string> names;
  names.reserve(indices.size());
  for (const int index : indices) names.emplace_back(Pa_GetDeviceInfo(index)->name);
  std::vector<int> offered;
  for (const int position : OfferedDeviceOrder(names)) offered.push_back(indices[position]);
  return offered;
}

}  // namespace

PortAudioBackend::PortAudioBackend() {
  snd_lib_error_set_handler(IgnoreAlsaError);
  // Never let the JACK client library start a server of its own.
  setenv("JACK_NO_START_SERVER", "1", 0);
  const std::lock_guard<std::mutex> lock(library_);
  QuietConsole quiet;
  initialised_ = Pa_Initialize() == paNoError;
  if (!initialised_) {
    return;
  }
  const PaDeviceIndex count = Pa_GetDeviceCount();
  std::vector<int> outputs;
  std::vector<int> inputs;
  for (PaDeviceIndex index = 0; index < count; ++index) {
    const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
    if (info == nullptr) {
      continue;
    }
    if (info->maxOutputChannels > 0) outputs.push_back(index);
    if (info->maxInputChannels > 0) inputs.push_back(index);
  }
  outputs_ = InOfferedOrder(outputs);
  inputs_ = InOfferedOrder(inputs);
}

PortAudioBackend::~PortAudioBackend() {
  if (initialised_) {
    const std::lock_guard<std::mutex> lock(library_);
    QuietConsole quiet;
    Pa_Terminate();
  }
}

int PortAudioBackend::LibraryIndex(StreamDirection direction, int device) const {
  if (!initialised_) {
    return -1;
  }
  const bool output = direction == StreamDirection::Output;
  if (device == kDefaultDevice) {
    const PaDeviceIndex index = output ? Pa_GetDefaultOutputDevice() : Pa_GetDefaultInputDevice();
    return index == paNoDevice ? -1 : index;
  }
  const std::vector<int>& list = output ? outputs_ : inputs_;
  if (device < 0 || device >= static_cast<int>(list.size())) {
    return -1;
  }
  return list[device];
}

int PortAudioBackend::DeviceCount(StreamDirection direction) const {
  return static_cast<int>(direction == StreamDirection::Output ? outputs_.size() : inputs_.size());
}

int PortAudioBackend::DeviceName(StreamDirection direction, int device, std::string& name) const {
  if (!initialised_) {
    return paNotInitialized;
  }
  const std::lock_guard<std::mutex> lock(library_);
  const int index = LibraryIndex(direction, device);
  const PaDeviceInfo* info = index < 0 ? nullptr : Pa_GetDeviceInfo(index);
  if (info == nullptr) {
    return paInvalidDevice;
  }
  name = OfferedDeviceName(info->name);
  return paNoError;
}

bool PortAudioBackend::IsFormatSupported(StreamDirection direction, int device,
                                         const WaveFormat& format) const {
  const std::lock_guard<std::mutex> lock(library_);
  const int index = LibraryIndex(direction, device);
  if (index < 0 || SampleFormat(format) == 0 || format.channels == 0) {
    return false;
  }
  const PaStreamParameters parameters = Parameters(direction, index, format);
  const bool output = direction == StreamDirection::Output;
  QuietConsole quiet;
  return Pa_IsFormatSupported(output ? nullptr : &parameters, output ? &parameters : nullptr,
                              format.samplesPerSec) == paFormatIsSupported;
}

namespace {

// Opens a stream of the direction: an output calls `render` with `callback`; an input is read
// by a PortAudioInputStream into `input`.
OpenStreamResult OpenStream(StreamDirection direction, int index, const WaveFormat& format,
                            std::mutex& library, double outputLatencySeconds,
                            OutputStreamCallback* output, InputStreamCallback* input) {
  OpenStreamResult result;
  if (SampleFormat(format) == 0 || format.channels == 0) {
    result.error = paSampleFormatNotSupported;
    return result;
  }
  const PaStreamParameters parameters = Parameters(direction, index, format, outputLatencySeconds);
  const bool isOutput = direction == StreamDirection::Output;
  PaStream* stream = nullptr;
  QuietConsole quiet;
  result.error =
      Pa_OpenStream(&stream, isOutput ? nullptr : &parameters, isOutput ? &parameters : nullptr,
                    format.samplesPerSec, paFramesPerBufferUnspecified, paClipOff,
                    isOutput ? RenderOutput : nullptr, output);
  if (result.error != paNoError) {
    return result;
  }
  try {
    if (isOutput) {
      result.stream = std::make_unique<PortAudioStream>(stream, library);
    } else {
      result.stream = std::make_unique<PortAudioInputStream>(stream, library, format, *input);
    }
  } catch (const std::bad_alloc&) {
    Pa_CloseStream(stream);
    result.error = paInsufficientMemory;
  }
  return result;
}

}  // namespace

OpenStreamResult PortAudioBackend::OpenOutput(int device, const WaveFormat& format,
                                              OutputStreamCallback& callback) {
  return OpenOutputWithLatency(device, format, callback, kOutputLatencySeconds);
}

OpenStreamResult PortAudioBackend::OpenPlannedOutput(int device, const WaveFormat& format,
                                                     OutputStreamCallback& callback) {
  return OpenOutputWithLatency(device, format, callback, kPlannedOutputLatencySeconds);
}

OpenStreamResult PortAudioBackend::OpenOutputWithLatency(int device, const WaveFormat& format,
                                                         OutputStreamCallback& callback,
                                                         double latencySeconds) {
  const std::lock_guard<std::mutex> lock(library_);
  const int index = LibraryIndex(StreamDirection::Output, device);
  if (index < 0) {
    return OpenStreamResult{nullptr, initialised_ ? paInvalidDevice : paNotInitialized};
  }
  return OpenStream(StreamDirection::Output, index, format, library_, latencySeconds, &callback,
                    nullptr);
}

OpenStreamResult PortAudioBackend::OpenInput(int device, const WaveFormat& format,
                                             InputStreamCallback& callback) {
  const std::lock_guard<std::mutex> lock(library_);
  const int index = LibraryIndex(StreamDirection::Input, device);
  if (index < 0) {
    return OpenStreamResult{nullptr, initialised_ ? paInvalidDevice : paNotInitialized};
  }
#ifdef __linux__
  // Only this open takes the short periods: an output's 30 ms in 20 periods would be too many.
  PaAlsa_SetNumPeriods(kInputPeriods);
#endif
  OpenStreamResult result =
      OpenStream(StreamDirection::Input, index, format, library_, 0, nullptr, &callback);
#ifdef __linux__
  PaAlsa_SetNumPeriods(kAlsaDefaultPeriods);
#endif
  return result;
}

}  // namespace velmora
