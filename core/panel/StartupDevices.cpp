#include "panel/StartupDevices.h"

#include "view/ViewSettings.h"

namespace velmora {

DeviceSurvey SurveyDevices(AudioBackend& backend) {
  // A device of its own: no stream is opened, and the view's devices stay untouched.
  WaveDevice device(backend);
  DeviceSurvey survey;
  survey.outputCount = device.EnumerateOutputDevices(survey.outputFormats, survey.outputs);
  survey.inputCount = device.EnumerateInputDevices(survey.inputFormats, survey.inputs);
  return survey;
}

RecordFormat StartupRecordFormat(uint32_t maxInputFormats) {
  const uint32_t m = maxInputFormats;
  RecordFormat format;
  uint32_t nibble = 0;
  if (m >= 0x100) {
    format.rate = 44100;
    nibble = (m >> 8) & 0xF;
  } else if (m >= 0x10) {
    format.rate = 22050;
    nibble = (m >> 4) & 0xF;
  } else {
    format.rate = 11025;
    nibble = m & 0xF;
  }
  if ((nibble & 0xC) != 0) {
    format.bits = 16;
    format.channels = (nibble & 0x8) != 0 ? 2 : 1;
  } else {
    format.bits = 8;
    format.channels = (nibble & 0x2) != 0 ? 2 : 1;
  }
  format.blockFrames = TransportBlockFrames(format.rate);
  return format;
}

namespace {

constexpr const char* kOutputMissing =
    "保存された再生デバイスが見つかりません。自動選択を使用します。";
constexpr const char* kInputMissing =
    "保存された録音デバイスが見つかりません。自動選択を使用します。";
constexpr const char* kBothMissing =
    "保存された再生・録音デバイスが見つかりません。自動選択を使用します。";

// Whether `device` had to fall back: it names none of the `count` devices enumerated.
bool FallBackUnlessPresent(int32_t& device, int count) {
  if (device == kDefaultDevice || count < 0 || (device >= 0 && device < count)) return false;
  device = kDefaultDevice;
  return true;
}

}  // namespace

MissingDevices FallBackFromMissingDevices(const DeviceSurvey& survey, ViewSettings& view) {
  MissingDevices missing;
  missing.output = FallBackUnlessPresent(view.outputDevice, survey.outputCount);
  missing.input = FallBackUnlessPresent(view.inputDevice, survey.inputCount);
  return missing;
}

std::string MissingDevicesNote(MissingDevices missing) {
  if (missing.output && missing.input) return kBothMissing;
  if (missing.output) return kOutputMissing;
  if (missing.input) return kInputMissing;
  return {};
}

}  // namespace velmora
