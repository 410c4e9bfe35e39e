#pragma once
// The master volume on ALSA's simple mixer: the playback volume of the "Master" control of the
// default card. Each call opens the mixer, finds the control and closes it again.

#include <string>

#include "seams/MasterVolume.h"

namespace velmora {

class AlsaMasterVolume : public MasterVolume {
 public:
  // `card` is an ALSA control device name; `control` a simple mixer control name.
  explicit AlsaMasterVolume(std::string card = "default", std::string control = "Master")
      : card_(std::move(card)), control_(std::move(control)) {}

  VolumeRange GetMasterVolumeRange() override;
  int32_t GetMasterVolume() override;
  bool SetMasterVolume(int32_t value) override;

 private:
  std::string card_;
  std::string control_;
};

}  // namespace velmora
