#include "dialogs/DeviceList.h"

#include <algorithm>

#include "audio/FormatMask.h"
#include "document/CommandRules.h"
#include "io/Format.h"
#include "seams/CommandIds.h"
#include "seams/Ui.h"
#include "view/ViewSettings.h"

namespace velmora {

std::vector<FormatRow> FormatRowsOf(uint32_t formats) {
  std::vector<FormatRow> rows;
  for (const FormatMaskEntry& entry : kFormatMaskTable) {
    if ((formats & entry.bit) == 0) continue;
    rows.push_back({Format("%u Hz", static_cast<unsigned>(entry.samplesPerSec)),
                    Format("%u ビット", static_cast<unsigned>(entry.bitsPerSample)),
                    entry.channels == 2 ? "ステレオ" : "モノラル"});
  }
  return rows;
}

std::vector<WaveDeviceCaps> ListedDevices(
    int count, const std::array<WaveDeviceCaps, kMaxListedDevices>& caps) {
  std::vector<WaveDeviceCaps> listed;
  if (count >= 0) {
    listed.assign(caps.begin(), caps.begin() + std::min(count, kMaxListedDevices));
  } else {
    // A query failed part way: the records before it were filled, the rest are empty.
    for (const WaveDeviceCaps& device : caps) {
      if (device.name.empty()) break;
      listed.push_back(device);
    }
  }
  return listed;
}

DeviceLists DeviceListsOf(const DeviceSurvey& survey) {
  DeviceLists lists;
  lists.outputs = ListedDevices(survey.outputCount, survey.outputs);
  lists.inputs = ListedDevices(survey.inputCount, survey.inputs);
  lists.largestInputFormats = survey.inputFormats;
  return lists;
}

// ---- The dialog ----

int32_t& DeviceList::SelectionOf(DeviceRole role) {
  return role == DeviceRole::Playback ? playbackSelection : recordSelection;
}

int32_t DeviceList::SelectionOf(DeviceRole role) const {
  return role == DeviceRole::Playback ? playbackSelection : recordSelection;
}

const std::vector<WaveDeviceCaps>& DeviceList::DevicesOf(DeviceRole role) const {
  return role == DeviceRole::Playback ? playbackDevices : recordDevices;
}

std::vector<std::string> DeviceList::ComboItems(DeviceRole role) const {
  std::vector<std::string> items{msg::kAutoSelect};
  for (const WaveDeviceCaps& device : DevicesOf(role)) items.push_back(device.name);
  return items;
}

int DeviceList::ComboItem(DeviceRole role) const {
  const int32_t selection = SelectionOf(role);
  const auto listed = static_cast<int32_t>(DevicesOf(role).size());
  return selection >= kDefaultDevice && selection < listed ? selection + 1 : -1;
}

std::vector<FormatRow> DeviceList::OnComboChanged(DeviceRole role, int item) {
  // An item the combo does not have (nothing chosen) leaves the selection as it was.
  if (item >= 0 && item <= static_cast<int>(DevicesOf(role).size())) {
    SelectionOf(role) = item - 1;
  }
  return RowsOf(role);
}

std::vector<FormatRow> DeviceList::RowsOf(DeviceRole role) const {
  const int32_t selection = SelectionOf(role);
  const std::vector<WaveDeviceCaps>& devices = DevicesOf(role);
  if (selection < 0 || selection >= static_cast<int32_t>(devices.size())) return {};
  return FormatRowsOf(devices[selection].formats);
}

// ---- The command ----

uint32_t RecordFormatBit(const ViewSettings& view) {
  return FormatBit(view.recordRate, view.recordBits, view.recordChannels);
}

DeviceCommand::DeviceCommand(const ViewContext& context, DeviceListWindow& window,
                             std::function<DeviceLists()> devices)
    : doc_(context.doc),
      view_(context.settings),
      ui_(context.ui),
      window_(window),
      devices_(std::move(devices)) {}

void DeviceCommand::RemoveOutputDeviceOwner(OutputDeviceOwner* owner) {
  owners_.erase(std::remove(owners_.begin(), owners_.end(), owner), owners_.end());
}

bool DeviceCommand::HandlesCommand(int id) const {
  return id == cmd::kAudioDevices;
}

bool DeviceCommand::OnCommand(int id) {
  if (id != cmd::kAudioDevices) return false;
  if (!QueryCommandState(doc_, id).enabled) return true;
  const DeviceLists devices = devices_ ? devices_() : DeviceLists{};
  DeviceList dialog;
  dialog.playbackSelection = view_.outputDevice;
  dialog.recordSelection = view_.inputDevice;
  dialog.playbackDevices = devices.outputs;
  dialog.recordDevices = devices.inputs;
  if (window_.RunDeviceList(dialog)) Accept(dialog, devices);
  return true;
}

void DeviceCommand::Accept(const DeviceList& dialog, const DeviceLists& devices) {
  view_.outputDevice = dialog.playbackSelection;
  view_.inputDevice = dialog.recordSelection;
  for (OutputDeviceOwner* owner : owners_) owner->SetOutputDevice(view_.outputDevice);

  const int32_t input = dialog.recordSelection;
  if (input >= 0) {
    const bool listed = input < static_cast<int32_t>(devices.inputs.size());
    view_.maxInputFormats = listed ? devices.inputs[input].formats : 0;
  } else {
    // The default device: the largest mask as numbers, not their union. The default device's own
    // mask counts too, so that a machine whose only input is the default still records.
    uint32_t largest = devices.largestInputFormats;
    for (const WaveDeviceCaps& device : devices.inputs) largest = std::max(largest, device.formats);
    view_.maxInputFormats = largest;
  }
  if ((RecordFormatBit(view_) & view_.maxInputFormats) == 0) {
    ui_.ShowMessage(msg::kDeviceFormatUnsupported, MessageIcon::Exclamation, MessageButtons::Ok);
  }
}

}  // namespace velmora
