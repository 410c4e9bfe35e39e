#pragma once
// The device selection dialog's logic (template 173, "デバイス選択") and the view's command that
// opens it (cmd::kAudioDevices): the two combos ("自動選択" first), the formats of the device whose
// combo was touched last, and what OK gives the view: the chosen devices, maxInputFormats, and the
// message when the chosen input does not take the current recording format.
//
// User-interface thread only.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/WaveDevice.h"
#include "panel/StartupDevices.h"
#include "seams/CommandTarget.h"
#include "view/ViewContext.h"

namespace velmora {

class CVelmoraDoc;
class Ui;
struct ViewSettings;

namespace devctl {
constexpr int kPlayback = 1000;  // combo "再生"
constexpr int kRecord = 1001;    // combo "録音"
constexpr int kFormats = 1053;   // report list of the formats
}  // namespace devctl

namespace msg {
inline constexpr const char* kAutoSelect = "自動選択";
inline constexpr const char* kDeviceFormatUnsupported =
    "選択したデバイスは現在の録音設定に対応していません。";
}  // namespace msg

struct FormatListColumn {
  const char* title;
  int width;  // pixels at the platform's usual resolution
};
inline constexpr std::array<FormatListColumn, 3> kFormatColumns = {{
    {"サンプリング周波数", 110},
    {"量子化ビット数", 90},
    {"チャンネル", 80},
}};

// One row of the format list: "44100 Hz", "16 ビット", "ステレオ".
struct FormatRow {
  std::string rate;
  std::string bits;
  std::string channels;
  bool operator==(const FormatRow& other) const {
    return rate == other.rate && bits == other.bits && channels == other.channels;
  }
};

// One row per set bit of a capability mask, in bit order; bits beyond the twenty known ones
// give no row.
std::vector<FormatRow> FormatRowsOf(uint32_t formats);

enum class DeviceRole { Playback, Record };

// What the devices' enumeration gives, per direction: up to four records.
struct DeviceLists {
  std::vector<WaveDeviceCaps> outputs;
  std::vector<WaveDeviceCaps> inputs;
  // The largest mask of the input enumeration, the default device's included: what
  // "自動選択" takes for recording.
  uint32_t largestInputFormats = 0;
};

// The records an enumeration left: min(count, 4) of them, or after a failed query (count -1)
// those it had filled.
std::vector<WaveDeviceCaps> ListedDevices(
    int count, const std::array<WaveDeviceCaps, kMaxListedDevices>& caps);

// The lists of a survey of the sound system.
DeviceLists DeviceListsOf(const DeviceSurvey& survey);

// CDeviceListDlg's fields and reactions. The view copies in the selections and the devices; the
// window fills its combos and list from here and reports its events.
class DeviceList {
 public:
  int32_t playbackSelection = kDefaultDevice;  // -1 = "自動選択", else the device number
  int32_t recordSelection = kDefaultDevice;
  std::vector<WaveDeviceCaps> playbackDevices;  // at most four
  std::vector<WaveDeviceCaps> recordDevices;

  // "自動選択", then the device names in device order.
  std::vector<std::string> ComboItems(DeviceRole role) const;
  // The item shown at the start: selection + 1 (-1 when the selection names no listed device).
  int ComboItem(DeviceRole role) const;
  // The rows the list starts with: the playback device's.
  std::vector<FormatRow> InitialRows() const { return RowsOf(DeviceRole::Playback); }

  // A combo's selection changed or its list closed, on `item`: the new selection's rows.
  std::vector<FormatRow> OnComboChanged(DeviceRole role, int item);
  // A combo got the focus: the rows of its selection.
  std::vector<FormatRow> OnComboFocus(DeviceRole role) const { return RowsOf(role); }

  // Empty for "自動選択" and for a selection with no listed device.
  std::vector<FormatRow> RowsOf(DeviceRole role) const;

 private:
  int32_t& SelectionOf(DeviceRole role);
  int32_t SelectionOf(DeviceRole role) const;
  const std::vector<WaveDeviceCaps>& DevicesOf(DeviceRole role) const;
};

// Runs the dialog modally; true when it ended with OK (the dialog then holds the selections).
class DeviceListWindow {
 public:
  virtual ~DeviceListWindow() = default;
  virtual bool RunDeviceList(DeviceList& dialog) = 0;
};

// An owner of a wave device of its own (the metronome's), told the chosen output device after
// OK; it plays there from its next open.
class OutputDeviceOwner {
 public:
  virtual ~OutputDeviceOwner() = default;
  virtual void SetOutputDevice(int32_t device) = 0;
};

// The bit of the recording format in a capability mask (see FormatBit): the one OK checks.
uint32_t RecordFormatBit(const ViewSettings& view);

// cmd::kAudioDevices "オーディオデバイス(&D)...", routed through the view. Enabled while the
// transport is stopped. OK sets the view's outputDevice and inputDevice (playback and recording
// open on them from then on), the owners' output devices and maxInputFormats, and warns when the
// chosen input does not take the recording format (the choice stands all the same).
class DeviceCommand : public CommandTarget {
 public:
  // All must outlive the command. `devices` gives the enumeration's results when the dialog
  // opens.
  DeviceCommand(const ViewContext& context, DeviceListWindow& window,
                std::function<DeviceLists()> devices);

  void AddOutputDeviceOwner(OutputDeviceOwner* owner) { owners_.push_back(owner); }
  void RemoveOutputDeviceOwner(OutputDeviceOwner* owner);

  bool OnCommand(int id) override;
  bool HandlesCommand(int id) const override;

 private:
  void Accept(const DeviceList& dialog, const DeviceLists& devices);

  CVelmoraDoc& doc_;
  ViewSettings& view_;
  Ui& ui_;
  DeviceListWindow& window_;
  std::function<DeviceLists()> devices_;
  std::vector<OutputDeviceOwner*> owners_;
};

}  // namespace velmora
