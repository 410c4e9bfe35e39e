#include "AlsaMasterVolume.h"

#include <alsa/asoundlib.h>

#include <memory>

namespace velmora {

namespace {

struct MixerCloser {
  void operator()(snd_mixer_t* mixer) const { snd_mixer_close(mixer); }
};
using MixerPtr = std::unique_ptr<snd_mixer_t, MixerCloser>;

struct SelemIdFree {
  void operator()(snd_mixer_selem_id_t* id) const { snd_mixer_selem_id_free(id); }
};

// An opened mixer and its volume control; elem is null when either is missing.
struct MasterControl {
  MixerPtr mixer;
  snd_mixer_elem_t* elem = nullptr;
};

MasterControl FindControl(const std::string& card, const std::string& control) {
  MasterControl found;
  snd_mixer_t* raw = nullptr;
  if (snd_mixer_open(&raw, 0) < 0) return found;
  found.mixer.reset(raw);
  if (snd_mixer_attach(raw, card.c_str()) < 0 ||
      snd_mixer_selem_register(raw, nullptr, nullptr) < 0 || snd_mixer_load(raw) < 0) {
    return found;
  }
  snd_mixer_selem_id_t* rawId = nullptr;
  if (snd_mixer_selem_id_malloc(&rawId) < 0) return found;
  const std::unique_ptr<snd_mixer_selem_id_t, SelemIdFree> id(rawId);
  snd_mixer_selem_id_set_index(rawId, 0);
  snd_mixer_selem_id_set_name(rawId, control.c_str());
  snd_mixer_elem_t* elem = snd_mixer_find_selem(raw, rawId);
  if (elem != nullptr && snd_mixer_selem_has_playback_volume(elem)) found.elem = elem;
  return found;
}

}  // namespace

VolumeRange AlsaMasterVolume::GetMasterVolumeRange() {
  const MasterControl master = FindControl(card_, control_);
  long minimum = 0;
  long maximum = 0;
  if (master.elem == nullptr ||
      snd_mixer_selem_get_playback_volume_range(master.elem, &minimum, &maximum) < 0) {
    return {};
  }
  return {static_cast<int32_t>(maximum), static_cast<int32_t>(minimum)};
}

int32_t AlsaMasterVolume::GetMasterVolume() {
  const MasterControl master = FindControl(card_, control_);
  long value = 0;
  if (master.elem == nullptr ||
      snd_mixer_selem_get_playback_volume(master.elem, SND_MIXER_SCHN_FRONT_LEFT, &value) < 0) {
    return 0;
  }
  return static_cast<int32_t>(value);
}

bool AlsaMasterVolume::SetMasterVolume(int32_t value) {
  const MasterControl master = FindControl(card_, control_);
  return master.elem != nullptr && snd_mixer_selem_set_playback_volume_all(master.elem, value) == 0;
}

}  // namespace velmora
