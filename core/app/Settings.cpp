#include "app/Settings.h"

#include <algorithm>
#include <vector>

#include "seams/SettingsStore.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

using Bytes = std::vector<uint8_t>;

void PutInt32(Bytes& bytes, int32_t value) {
  const auto u = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(u >> shift));
}

int32_t GetInt32(const Bytes& bytes, std::size_t at) {
  uint32_t u = 0;
  for (int i = 3; i >= 0; --i) u = (u << 8) | bytes[at + static_cast<std::size_t>(i)];
  return static_cast<int32_t>(u);
}

// The value when it has exactly `size` bytes. A longer value would not fit the reader's buffer,
// and a shorter one would leave part of the fields unset: both keep the defaults.
std::optional<Bytes> ReadSized(SettingsStore& store, const char* name, std::size_t size) {
  std::optional<Bytes> bytes = store.ReadValue(name);
  if (!bytes || bytes->size() != size) return std::nullopt;
  return bytes;
}

struct Value {
  const char* name;
  Bytes bytes;
  const char* failure;
};

// Creates the key and writes the values in order; the first failure is shown and ends it.
bool WriteValues(SettingsStore& store, Ui& ui, const std::vector<Value>& values) {
  if (!store.CreateKey()) {
    ui.ShowError(msg::kCreateKeyFailed);
    return false;
  }
  bool written = true;
  for (const Value& value : values) {
    if (!store.WriteValue(value.name, value.bytes)) {
      ui.ShowError(value.failure);
      written = false;
      break;
    }
  }
  store.CloseKey();
  return written;
}

}  // namespace

std::optional<WindowRect> ReadWindowRect(SettingsStore& store) {
  if (!store.OpenKey()) return std::nullopt;
  std::optional<WindowRect> rect;
  if (const std::optional<Bytes> bytes = ReadSized(store, kRectValue, 16)) {
    rect = WindowRect{GetInt32(*bytes, 0), GetInt32(*bytes, 4), GetInt32(*bytes, 8),
                      GetInt32(*bytes, 12)};
  }
  store.CloseKey();
  return rect;
}

bool WriteWindowRect(SettingsStore& store, Ui& ui, const WindowRect& rect) {
  Bytes bytes;
  PutInt32(bytes, rect.left);
  PutInt32(bytes, rect.top);
  PutInt32(bytes, rect.right);
  PutInt32(bytes, rect.bottom);
  return WriteValues(store, ui, {{kRectValue, bytes, msg::kSetRectFailed}});
}

void ReadViewSettings(SettingsStore& store, ViewSettings& settings) {
  settings.inputDevice = -1;
  settings.outputDevice = -1;
  settings.tuningHz = 440;
  if (!store.OpenKey()) return;
  if (const std::optional<Bytes> bytes = ReadSized(store, kDeviceValue, 8)) {
    settings.inputDevice = GetInt32(*bytes, 0);
    settings.outputDevice = GetInt32(*bytes, 4);
  }
  if (const std::optional<Bytes> bytes = ReadSized(store, kTuningHzValue, 4)) {
    // The tone's control keeps 1..22050 Hz; a stored value outside it (a hand-edited or damaged
    // file) must not reach the tone generator, where 0 would divide by zero.
    settings.tuningHz = std::clamp(GetInt32(*bytes, 0), 1, 22050);
  }
  store.CloseKey();
}

bool WriteViewSettings(SettingsStore& store, Ui& ui, const ViewSettings& settings) {
  Bytes devices;
  PutInt32(devices, settings.inputDevice);
  PutInt32(devices, settings.outputDevice);
  Bytes tuning;
  PutInt32(tuning, settings.tuningHz);
  return WriteValues(store, ui,
                     {{kDeviceValue, devices, msg::kSetDeviceFailed},
                      {kTuningHzValue, tuning, msg::kSetTuningHzFailed}});
}

}  // namespace velmora
