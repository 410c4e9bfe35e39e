#pragma once
// A sound system in memory for tests: configurable devices and format masks, opens that can be
// told to fail, and streams that a test advances frame by frame instead of a clock. The
// callbacks run on the thread that calls AdvanceOutput / AdvanceInput. Once configured, its
// queries and opens may come from more than one thread (the view surveys the devices on a
// worker).

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "seams/AudioBackend.h"

namespace velmora {

struct VirtualDevice {
  std::string name;
  uint32_t formats = 0xFFFFF;  // standard capability bits the device takes
};

// What a test can see of one stream the backend opened.
struct VirtualStreamState {
  StreamDirection direction = StreamDirection::Output;
  int device = kDefaultDevice;
  WaveFormat format{};
  bool open = true;      // false once closed
  bool started = false;  // between Start and Stop
  int error = 0;         // set by FailStreams
  int startCount = 0;
  int stopCount = 0;
  bool planned = false;  // opened by OpenPlannedOutput
};

class VirtualAudioBackend : public AudioBackend {
 public:
  // One output and one input device taking every format of the table, initialised.
  VirtualAudioBackend();
  ~VirtualAudioBackend() override;

  // ---- Configuration (set before use) ----
  bool initialised = true;
  std::vector<VirtualDevice> outputs;
  std::vector<VirtualDevice> inputs;
  // The default device of a direction exists when its list is not empty; it is device 0.
  // Name queries of this device number fail with queryError (kNoQueryFailure = none).
  static constexpr int kNoQueryFailure = -1000;
  int failQueryOf = kNoQueryFailure;
  int queryError = -9996;
  int failOpens = 0;         // the next this many opens fail
  int openError = -9996;     // with this code
  int failStarts = 0;        // the next this many starts fail, with openError
  double outputLatency = 0;  // what the streams report, in seconds
  double inputLatency = 0;

  // > 0: at that many further Error() looks of any stream, every stream fails with
  // failOnLookError (the sound server dying between two looks of the owner).
  std::atomic<int> failOnLook{0};
  int failOnLookError = -9999;

  // The latency that streams opened by OpenPlannedOutput state, in frames.
  uint32_t plannedLatencyFrames = 0;

  // ---- Record of calls ----
  mutable std::vector<std::pair<StreamDirection, int>> nameQueries;
  int openCalls = 0;

  // ---- AudioBackend ----
  bool Initialised() const override { return initialised; }
  int DeviceCount(StreamDirection direction) const override;
  int DeviceName(StreamDirection direction, int device, std::string& name) const override;
  bool IsFormatSupported(StreamDirection direction, int device,
                         const WaveFormat& format) const override;
  OpenStreamResult OpenOutput(int device, const WaveFormat& format,
                              OutputStreamCallback& callback) override;
  OpenStreamResult OpenPlannedOutput(int device, const WaveFormat& format,
                                     OutputStreamCallback& callback) override;
  OpenStreamResult OpenInput(int device, const WaveFormat& format,
                             InputStreamCallback& callback) override;

  // ---- Driving the streams ----
  // Pulls `frames` frames through the callback of every started output stream; returns the bytes
  // of the most recently opened one (empty when no output stream is started).
  std::vector<uint8_t> AdvanceOutput(uint32_t frames);
  // Pushes whole frames into every started input stream; false when none is started.
  bool AdvanceInput(const std::vector<uint8_t>& bytes);
  // Tells every started input stream that the sound system lost `frames` frames.
  void OverflowInput(uint32_t frames);
  // Frames captured but still on their way to the input (one stream): its Drain hands them as far
  // as the callback has room.
  std::vector<uint8_t> inputOnTheWay;
  // Every open stream fails with `error`: Error() reports it and its callback stops.
  void FailStreams(int error);

  // ---- Inspection ----
  // State of the most recently opened stream of the direction, or null when none was opened.
  const VirtualStreamState* LastStream(StreamDirection direction) const;
  int OpenStreamCount() const;

 private:
  class Stream;
  friend class Stream;
  struct Entry {
    VirtualStreamState state;
    // Read without the lock, so that a test's callback thread and the owner share no mutex.
    std::atomic<int> error{0};
    OutputStreamCallback* output = nullptr;
    InputStreamCallback* input = nullptr;
    double latency = 0;  // seconds; set at the open, before the stream is handed out
  };

  const std::vector<VirtualDevice>& Devices(StreamDirection direction) const;
  OpenStreamResult Open(StreamDirection direction, int device, const WaveFormat& format,
                        OutputStreamCallback* output, InputStreamCallback* input);

  mutable std::mutex mutex_;  // guards entries_ against a test's callback thread
  std::vector<std::unique_ptr<Entry>> entries_;
};

}  // namespace velmora
