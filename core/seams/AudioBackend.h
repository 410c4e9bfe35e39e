#pragma once
// What the wave device asks of the sound system: callback streams of interleaved PCM on a device
// of one direction (or the system's default), the devices' names and the formats they take.
// PortAudio implements it in platform/audio; tests use VirtualAudioBackend, advanced by hand.
//
// Error codes are the backend's own numbers (PortAudio's PaError on the real one); 0 = success.
// The wave device reports them as the system's code of its Failure, and the program shows them in
// its device error messages.

#include <cstdint>
#include <memory>
#include <string>

namespace velmora {

enum class StreamDirection { Output, Input };

// Device number of the system's default device. 0, 1, 2, ... are the devices of one direction in
// the backend's order.
constexpr int kDefaultDevice = -1;

// The PCM format record every stream is opened with (the layout of the platform's WAVEFORMATEX).
// Samples are 8-bit unsigned (128 = silence) or 16-bit signed little-endian, interleaved.
struct WaveFormat {
  uint16_t formatTag = 1;  // PCM
  uint16_t channels = 0;
  uint32_t samplesPerSec = 0;
  uint32_t avgBytesPerSec = 0;
  uint16_t blockAlign = 0;  // bytes per frame
  uint16_t bitsPerSample = 0;
  uint16_t cbSize = 0;
};

// The one way to build a format record: derives block align and bytes per second.
WaveFormat MakePcmFormat(uint32_t samplesPerSec, uint16_t bitsPerSample, uint16_t channels);

// Called on the backend's audio thread: must not block, lock or allocate.
class OutputStreamCallback {
 public:
  virtual ~OutputStreamCallback() = default;
  // Writes exactly `frames` frames of the stream's format to `out`.
  virtual void Render(uint8_t* out, uint32_t frames) = 0;
};

// Called on the backend's audio thread: must not block, lock or allocate.
class InputStreamCallback {
 public:
  virtual ~InputStreamCallback() = default;
  // `in` holds `frames` recorded frames of the stream's format; valid only during the call.
  virtual void Capture(const uint8_t* in, uint32_t frames) = 0;
  // The sound system lost `frames` frames before the next Capture (its overflow).
  virtual void Overflowed(uint32_t frames) { (void)frames; }
  // Frames the callback can take now without losing any. Asked on the thread that calls Capture;
  // a backend that holds frames back keeps the rest until there is room.
  virtual uint32_t FramesWanted() const { return UINT32_MAX; }
};

// One open stream. Destroying it closes it; once the destructor or Stop has returned, its
// callback no longer runs. Called from the user-interface thread only.
class AudioStream {
 public:
  virtual ~AudioStream() = default;
  // Starts calling the callback. 0 or the backend's error code.
  virtual int Start() = 0;
  // Stops at once, dropping what the device still holds. 0 or the backend's error code.
  virtual int Stop() = 0;
  // Input: hands the callback every frame captured before the first call that is still on its
  // way, waiting a fraction of a second at most; frames captured later are not handed any more.
  // False when the callback had no room for them all: make room and call again. Output streams,
  // and inputs that hand every frame as it comes, have nothing to do.
  virtual bool Drain() { return true; }
  // 0 while the stream runs as asked; the backend's error code once it has failed (device gone,
  // server died), after which its callback is not called any more.
  virtual int Error() const = 0;
  // Seconds between a frame passing the callback and the sound leaving the speakers (output),
  // or the sound reaching the microphone and its frame passing the callback (input), as the
  // sound system states it when the stream opens; 0 when it states nothing.
  virtual double Latency() const { return 0; }
};

struct OpenStreamResult {
  std::unique_ptr<AudioStream> stream;  // null when the open failed
  int error = 0;                        // the backend's code when it failed
};

class AudioBackend {
 public:
  virtual ~AudioBackend() = default;

  // False when the sound library could not be brought up at all; every open then fails.
  virtual bool Initialised() const = 0;
  // Number of devices of the direction (0 with no device or no sound server).
  virtual int DeviceCount(StreamDirection direction) const = 0;
  // The device's name. 0, or the backend's error code when there is no such device (also for
  // kDefaultDevice when the system has no default device of that direction).
  virtual int DeviceName(StreamDirection direction, int device, std::string& name) const = 0;
  // Whether the device takes a stream of this format.
  virtual bool IsFormatSupported(StreamDirection direction, int device,
                                 const WaveFormat& format) const = 0;
  // Opens a stream, not yet started. The callback must outlive the stream. Fails quickly (no
  // waiting for a server, nothing printed) when there is no device or no server.
  virtual OpenStreamResult OpenOutput(int device, const WaveFormat& format,
                                      OutputStreamCallback& callback) = 0;
  // As OpenOutput, for sound decided well before it is heard (the metronome's clicks): the sound
  // system keeps a deep buffer, so that a busy machine never lets the stream run dry, and what
  // the callback gives is heard correspondingly later. Backends without the choice open as
  // OpenOutput.
  virtual OpenStreamResult OpenPlannedOutput(int device, const WaveFormat& format,
                                             OutputStreamCallback& callback) {
    return OpenOutput(device, format, callback);
  }
  virtual OpenStreamResult OpenInput(int device, const WaveFormat& format,
                                     InputStreamCallback& callback) = 0;
};

}  // namespace velmora
