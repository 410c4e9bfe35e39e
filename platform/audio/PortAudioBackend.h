#pragma once
// The program's sound system: PortAudio streams of 8-bit unsigned or 16-bit signed PCM; outputs
// are rendered in PortAudio's callback, inputs read on a thread of their own.
// Brings PortAudio up at construction and down at destruction, and keeps the sound libraries
// quiet on the console: with no device or no sound server every open fails fast and silently.
// Construct on the user-interface thread; one instance for the program's lifetime. Its calls,
// and those of its streams, may come from more than one thread (the view surveys the devices on
// a worker): they take one lock, since PortAudio's own calls are not made for that.

#include <mutex>
#include <vector>

#include "seams/AudioBackend.h"

namespace velmora {

class PortAudioBackend : public AudioBackend {
 public:
  PortAudioBackend();
  ~PortAudioBackend() override;
  PortAudioBackend(const PortAudioBackend&) = delete;
  PortAudioBackend& operator=(const PortAudioBackend&) = delete;

  bool Initialised() const override { return initialised_; }
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

 private:
  // PortAudio's index of a device number of the direction, or -1 when there is none.
  int LibraryIndex(StreamDirection direction, int device) const;
  OpenStreamResult OpenOutputWithLatency(int device, const WaveFormat& format,
                                         OutputStreamCallback& callback, double latencySeconds);

  // Held around every PortAudio call but the callbacks, and around the console's redirection.
  mutable std::mutex library_;
  bool initialised_ = false;
  // PortAudio indices of the devices offered, best first; the plug-ins are not among them.
  std::vector<int> outputs_;
  std::vector<int> inputs_;
};

}  // namespace velmora
