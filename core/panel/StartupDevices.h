#pragma once
// What the view asks the sound system once it is first shown: the output and input devices with
// the formats they take, the recording format that follows from the largest input mask, and
// whether the stored devices are still there.

#include <array>
#include <cstdint>
#include <string>

#include "audio/WaveDevice.h"

namespace velmora {

class AudioBackend;
struct ViewSettings;

// Both enumerations' results (see WaveDevice::EnumerateOutputDevices).
struct DeviceSurvey {
  int outputCount = -1;  // device count, or -1 when a query failed
  uint32_t outputFormats = 0;
  std::array<WaveDeviceCaps, kMaxListedDevices> outputs{};
  int inputCount = -1;
  uint32_t inputFormats = 0;  // the largest input mask: the view's maxInputFormats
  std::array<WaveDeviceCaps, kMaxListedDevices> inputs{};
};

// Enumerates both directions. Slow (every device is asked about every format), so the view runs
// it on a worker thread: it touches nothing but the backend, which must take calls from that
// thread beside the user-interface thread's.
DeviceSurvey SurveyDevices(AudioBackend& backend);

struct RecordFormat {
  uint32_t rate = 44100;
  uint16_t bits = 16;
  uint16_t channels = 2;
  uint32_t blockFrames = 2048;  // the transport's block for the rate
};

// The recording format at start-up from the largest input mask M: 44100 Hz when M reaches the
// 44100 Hz nibble (M >= 0x100), else 22050 Hz when it reaches that nibble, else 11025 Hz; 16-bit
// when the rate's nibble has a 16-bit bit (stereo if its stereo 16-bit bit is set), else 8-bit
// (stereo if its stereo 8-bit bit is set).
RecordFormat StartupRecordFormat(uint32_t maxInputFormats);

// The stored devices that the survey did not find.
struct MissingDevices {
  bool output = false;
  bool input = false;
};

// A stored device that names no device of the survey (a card unplugged, a settings file from
// another machine) becomes the default device, "自動選択", which playback, recording, the tone and
// the metronome then open. A direction whose enumeration failed keeps its device: nothing is known
// to be missing.
MissingDevices FallBackFromMissingDevices(const DeviceSurvey& survey, ViewSettings& view);

// The status bar's note of what fell back; empty when nothing did.
std::string MissingDevicesNote(MissingDevices missing);

}  // namespace velmora
