#pragma once
// The three persistent values and their rules: the main frame's rectangle ("Rect", 16 bytes),
// the chosen devices ("Device", 8 bytes) and the tuning frequency ("TuningHz", 4 bytes), all
// little-endian signed 32-bit fields. A value is taken only when it has exactly its size;
// otherwise the default stays. Writing stops at the first failure, after its message.

#include <cstdint>
#include <optional>

#include "seams/SettingsStore.h"
#include "view/ViewSettings.h"

namespace velmora {

class Ui;

inline constexpr const char* kRectValue = "Rect";
inline constexpr const char* kDeviceValue = "Device";
inline constexpr const char* kTuningHzValue = "TuningHz";

namespace msg {
inline constexpr const char* kCreateKeyFailed = "RegCreateKeyEx failed.";
inline constexpr const char* kSetRectFailed = "RegSetValueEx(Params) failed.";
inline constexpr const char* kSetDeviceFailed = "RegSetValueEx(ucDevice) failed.";
inline constexpr const char* kSetTuningHzFailed = "RegSetValueEx(ucTuningHz) failed.";
}  // namespace msg

// Screen coordinates of the main frame's outer rectangle.
struct WindowRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

// The frame's saved rectangle; nothing when the key or a 16-byte "Rect" is missing (the system
// then places the window). Only left and top are meant to be used.
std::optional<WindowRect> ReadWindowRect(SettingsStore& store);
// Writes "Rect"; shows the failure message (error box) and returns false on failure.
bool WriteWindowRect(SettingsStore& store, Ui& ui, const WindowRect& rect);

// Sets the view's defaults (-1, -1, 440), then reads "Device" and "TuningHz" over them.
void ReadViewSettings(SettingsStore& store, ViewSettings& settings);
// Writes "Device", then "TuningHz"; stops at the first failure after its message.
bool WriteViewSettings(SettingsStore& store, Ui& ui, const ViewSettings& settings);

}  // namespace velmora
