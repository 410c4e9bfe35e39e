#include "audio/DeviceOrder.h"

#include <algorithm>
#include <cctype>

namespace velmora {

namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool StartsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// ALSA's own plug-ins and those of alsa-plugins: each re-routes, converts or shares a device
// the list already has (or is the default device, which the dialog offers as "自動選択").
bool IsPlugIn(const std::string& base) {
  static const char* const kNames[] = {
      "default", "sysdefault", "front", "rear",      "center_lfe", "side",  "dmix",
      "dsnoop",  "plug",       "hw",    "plughw",    "asym",       "tee",   "file",
      "null",    "shm",        "modem", "phoneline", "spdif",      "a52",   "dca",
      "jack",    "oss",        "upmix", "vdownmix",  "speex",      "equal", "arcam_av",
      "softvol", "route",      "rate",  "linear",    "usb_stream",
  };
  static const char* const kFamilies[] = {"surround",  "iec958",  "hdmi",     "samplerate",
                                          "speexrate", "lavrate", "lavcrate", "usbstream"};
  for (const char* name : kNames) {
    if (base == name) return true;
  }
  for (const char* family : kFamilies) {
    if (StartsWith(base, family)) return true;
  }
  return false;
}

bool IsHardware(const std::string& lower) {
  return Contains(lower, "(hw:") || Contains(lower, "(plughw:");
}

bool IsDigital(const std::string& lower) {
  static const char* const kParts[] = {"hdmi",  "displayport", "iec958",
                                       "spdif", "s/pdif",      "digital"};
  for (const char* part : kParts) {
    if (Contains(lower, part)) return true;
  }
  // A graphics card's sound device only feeds its monitors, and names its outputs after them
  // ("HDA NVidia: DELL U2415 (hw:1,7)").
  return Contains(lower.substr(0, lower.find(':')), "nvidia");
}

}  // namespace

DeviceRank RankOfDevice(const std::string& name) {
  const std::string lower = Lower(name);
  if (IsHardware(lower)) {
    return IsDigital(lower) ? DeviceRank::DigitalHardware : DeviceRank::Hardware;
  }
  // A plug-in may carry its arguments: "front:CARD=PCH,DEV=0".
  const std::string base = lower.substr(0, lower.find(':'));
  if (base == "pulse" || base == "pipewire") return DeviceRank::SoundServer;
  if (base.empty() || IsPlugIn(base)) return DeviceRank::Hidden;
  return DeviceRank::Other;
}

std::vector<int> OfferedDeviceOrder(const std::vector<std::string>& names) {
  std::vector<int> order;
  std::vector<DeviceRank> ranks;
  ranks.reserve(names.size());
  for (const std::string& name : names) ranks.push_back(RankOfDevice(name));
  for (int i = 0; i < static_cast<int>(names.size()); ++i) {
    if (ranks[i] != DeviceRank::Hidden) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return ranks[a] < ranks[b]; });
  return order;
}

std::string OfferedDeviceName(const std::string& name) {
  const std::string lower = Lower(name);
  if (lower == "pulse") return "PulseAudio";
  if (lower == "pipewire") return "PipeWire";
  return name;
}

}  // namespace velmora
