#pragma once
// The system's master playback volume (the speakers' volume control), in the control's own
// units. Every call finds the control afresh and keeps nothing open. Without a mixer or without
// such a control the results are neutral: range 0..0, volume 0, and setting fails quietly.
// User-interface thread only.

#include <cstdint>

namespace velmora {

struct VolumeRange {
  int32_t maximum = 0;
  int32_t minimum = 0;
};

class MasterVolume {
 public:
  virtual ~MasterVolume() = default;
  virtual VolumeRange GetMasterVolumeRange() = 0;
  // The current value (of the first channel, the control taken as uniform); 0 on any failure.
  virtual int32_t GetMasterVolume() = 0;
  // Sets every channel to `value`, passed on unchanged; true when the system took it.
  virtual bool SetMasterVolume(int32_t value) = 0;
};

}  // namespace velmora
