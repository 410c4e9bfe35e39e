// The device selection dialog's logic and its command: the rows of a format mask in bit order,
// the combos with "自動選択" first, the list following the combo touched last, and what OK and
// Cancel leave in the view (devices, the owners' output device, maxInputFormats, the message for
// a recording format the chosen input does not take).

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dialogs/DeviceList.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

FormatRow Row(const char* rate, const char* bits, const char* channels) {
  return FormatRow{rate, bits, channels};
}

TEST(DeviceListTest, AMaskGivesOneRowPerBitInBitOrder) {
  const auto all12 = FormatRowsOf(0xFFF);
  ASSERT_EQ(all12.size(), 12u);
  EXPECT_EQ(all12.front(), Row("11025 Hz", "8 ビット", "モノラル"));
  EXPECT_EQ(all12[1], Row("11025 Hz", "8 ビット", "ステレオ"));
  EXPECT_EQ(all12[2], Row("11025 Hz", "16 ビット", "モノラル"));
  EXPECT_EQ(all12.back(), Row("44100 Hz", "16 ビット", "ステレオ"));

  const auto all20 = FormatRowsOf(0xFFFFF);
  ASSERT_EQ(all20.size(), 20u);
  EXPECT_EQ(all20[12], Row("48000 Hz", "8 ビット", "モノラル"));
  EXPECT_EQ(all20.back(), Row("96000 Hz", "16 ビット", "ステレオ"));

  // Scattered bits keep their order and leave no gaps; unknown high bits give nothing.
  EXPECT_EQ(FormatRowsOf(0x80000 | 0x8000 | 0x8 | 0x100000),
            (std::vector<FormatRow>{Row("11025 Hz", "16 ビット", "ステレオ"),
                                    Row("48000 Hz", "16 ビット", "ステレオ"),
                                    Row("96000 Hz", "16 ビット", "ステレオ")}));
  EXPECT_TRUE(FormatRowsOf(0).empty());
}

TEST(DeviceListTest, AnEnumerationListsAtMostFourAndWhatItFilledBeforeAFailure) {
  std::array<WaveDeviceCaps, kMaxListedDevices> caps{};
  caps[0] = {"PulseAudio", 0xFFFFF};
  caps[1] = {"USB Headset: Audio (hw:1,0)", 0x8888};
  caps[2] = {"c", 1};
  caps[3] = {"d", 2};
  EXPECT_EQ(ListedDevices(6, caps).size(), 4u);
  EXPECT_EQ(ListedDevices(2, caps).size(), 2u);
  EXPECT_TRUE(ListedDevices(0, caps).empty());
  caps[2] = caps[3] = WaveDeviceCaps{};
  const std::vector<WaveDeviceCaps> failed = ListedDevices(-1, caps);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(failed[1].name, "USB Headset: Audio (hw:1,0)");

  // A start-up survey: six outputs of which four are listed, one input, the largest input mask.
  DeviceSurvey survey;
  survey.outputCount = 6;
  survey.outputs = {{{"a", 1}, {"b", 2}, {"c", 3}, {"d", 4}}};
  survey.inputCount = 1;
  survey.inputs[0] = {"PulseAudio", 0xFFF};
  survey.inputFormats = 0xFFFF;
  const DeviceLists lists = DeviceListsOf(survey);
  EXPECT_EQ(lists.outputs.size(), 4u);
  ASSERT_EQ(lists.inputs.size(), 1u);
  EXPECT_EQ(lists.inputs[0].formats, 0xFFFu);
  EXPECT_EQ(lists.largestInputFormats, 0xFFFFu);
}

DeviceList TwoByTwo() {
  DeviceList dialog;
  dialog.playbackDevices = {{"PulseAudio", 0xFFFFF},
                            {"HDA Intel PCH: ALC892 Analog (hw:0,0)", 0xC000}};
  dialog.recordDevices = {{"PulseAudio", 0xFFF}, {"USB Mic: Audio (hw:1,0)", 0x4}};
  dialog.playbackSelection = 1;
  dialog.recordSelection = kDefaultDevice;
  return dialog;
}

TEST(DeviceListTest, CombosStartWithAutoSelectAndShowTheSelections) {
  const DeviceList dialog = TwoByTwo();
  EXPECT_EQ(dialog.ComboItems(DeviceRole::Playback),
            (std::vector<std::string>{"自動選択", "PulseAudio",
                                      "HDA Intel PCH: ALC892 Analog (hw:0,0)"}));
  EXPECT_EQ(dialog.ComboItems(DeviceRole::Record),
            (std::vector<std::string>{"自動選択", "PulseAudio", "USB Mic: Audio (hw:1,0)"}));
  EXPECT_EQ(dialog.ComboItem(DeviceRole::Playback), 2);
  EXPECT_EQ(dialog.ComboItem(DeviceRole::Record), 0);
  // The list starts with the playback device's formats.
  EXPECT_EQ(dialog.InitialRows(), FormatRowsOf(0xC000));

  // A stored device that is no longer listed shows no item.
  DeviceList gone = TwoByTwo();
  gone.recordSelection = 3;
  EXPECT_EQ(gone.ComboItem(DeviceRole::Record), -1);
  EXPECT_TRUE(gone.RowsOf(DeviceRole::Record).empty());
}

TEST(DeviceListTest, TheListFollowsTheComboTouchedLast) {
  DeviceList dialog = TwoByTwo();
  EXPECT_EQ(dialog.OnComboChanged(DeviceRole::Record, 2), FormatRowsOf(0x4));
  EXPECT_EQ(dialog.recordSelection, 1);
  EXPECT_EQ(dialog.OnComboFocus(DeviceRole::Playback), FormatRowsOf(0xC000));
  EXPECT_TRUE(dialog.OnComboChanged(DeviceRole::Playback, 0).empty()) << "自動選択: no rows";
  EXPECT_EQ(dialog.playbackSelection, kDefaultDevice);
  EXPECT_EQ(dialog.OnComboFocus(DeviceRole::Record), FormatRowsOf(0x4));
  // No item (the combo reports none chosen) keeps the selection.
  EXPECT_EQ(dialog.OnComboChanged(DeviceRole::Record, -1), FormatRowsOf(0x4));
  EXPECT_EQ(dialog.recordSelection, 1);
}

class ScriptedDeviceWindow : public DeviceListWindow {
 public:
  bool RunDeviceList(DeviceList& dialog) override {
    shown.push_back(dialog);
    return script ? script(dialog) : false;
  }
  std::function<bool(DeviceList&)> script;
  std::vector<DeviceList> shown;
};

class RecordingOwner : public OutputDeviceOwner {
 public:
  void SetOutputDevice(int32_t device) override { devices.push_back(device); }
  std::vector<int32_t> devices;
};

class DeviceCommandTest : public ::testing::Test {
 protected:
  DeviceCommandTest()
      : doc(ui),
        command(ViewContext{doc, ui, form, timers, view}, window, [this] { return lists; }) {
    doc.OnNewDocument();
    lists.outputs = {{"PulseAudio", 0xFFFFF}, {"HDA Intel PCH: ALC892 Analog (hw:0,0)", 0xC000}};
    lists.inputs = {{"PulseAudio", 0x00FFF}, {"USB Mic: Audio (hw:1,0)", 0x04444}};
    lists.largestInputFormats = 0xFFF;
    view.outputDevice = 0;
    view.inputDevice = kDefaultDevice;
    view.maxInputFormats = 0xFFF;
    command.AddOutputDeviceOwner(&metronome);
  }

  // Runs the command with the user choosing these items (item 0 = "自動選択") and OK.
  void ChooseAndOk(int playbackItem, int recordItem) {
    window.script = [=](DeviceList& dialog) {
      dialog.OnComboChanged(DeviceRole::Playback, playbackItem);
      dialog.OnComboChanged(DeviceRole::Record, recordItem);
      return true;
    };
    ASSERT_TRUE(command.OnCommand(cmd::kAudioDevices));
  }

  test::FakeUi ui;
  test::FakeForm form;
  test::FakeTimers timers;
  ViewSettings view;
  CVelmoraDoc doc;
  DeviceLists lists;
  ScriptedDeviceWindow window;
  RecordingOwner metronome;
  DeviceCommand command;
};

TEST_F(DeviceCommandTest, TheDialogOpensWithTheViewsDevicesAndCancelKeepsThem) {
  EXPECT_TRUE(command.HandlesCommand(cmd::kAudioDevices));
  EXPECT_FALSE(command.HandlesCommand(cmd::kRecordSetup));
  window.script = [](DeviceList& dialog) {
    dialog.OnComboChanged(DeviceRole::Playback, 2);
    dialog.OnComboChanged(DeviceRole::Record, 2);
    return false;
  };
  command.OnCommand(cmd::kAudioDevices);
  ASSERT_EQ(window.shown.size(), 1u);
  const DeviceList& opened = window.shown[0];
  EXPECT_EQ(opened.playbackSelection, 0);
  EXPECT_EQ(opened.recordSelection, kDefaultDevice);
  EXPECT_EQ(opened.playbackDevices.size(), 2u);
  EXPECT_EQ(opened.recordDevices[1].name, "USB Mic: Audio (hw:1,0)");

  EXPECT_EQ(view.outputDevice, 0);
  EXPECT_EQ(view.inputDevice, kDefaultDevice);
  EXPECT_EQ(view.maxInputFormats, 0xFFFu);
  EXPECT_TRUE(metronome.devices.empty());
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DeviceCommandTest, OkHandsTheChoiceToTheViewAndTheOwners) {
  // 44100 Hz 16-bit mono (0x400): both inputs take it.
  view.recordRate = 44100;
  view.recordBits = 16;
  view.recordChannels = 1;
  ChooseAndOk(0, 2);
  EXPECT_EQ(view.outputDevice, kDefaultDevice);
  EXPECT_EQ(view.inputDevice, 1);
  EXPECT_EQ(view.maxInputFormats, 0x04444u);
  EXPECT_EQ(metronome.devices, (std::vector<int32_t>{kDefaultDevice}));
  EXPECT_TRUE(ui.messages.empty());

  ChooseAndOk(2, 1);
  EXPECT_EQ(view.outputDevice, 1);
  EXPECT_EQ(view.inputDevice, 0);
  EXPECT_EQ(view.maxInputFormats, 0x00FFFu);
  EXPECT_EQ(metronome.devices, (std::vector<int32_t>{kDefaultDevice, 1}));
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DeviceCommandTest, AutoSelectTakesTheLargestMaskNotTheUnion) {
  lists.inputs = {{"a", 0x0F00}, {"b", 0x00FF}, {"c", 0x1000}};
  lists.largestInputFormats = 0x0800;
  view.recordRate = 44100;
  view.recordBits = 16;
  view.recordChannels = 2;
  ChooseAndOk(0, 0);
  EXPECT_EQ(view.maxInputFormats, 0x1000u) << "0x1000 > 0x0F00, though it lacks 0x800";
  ASSERT_EQ(ui.messages.size(), 1u);

  // With no device listed the default device's own mask counts.
  ui.messages.clear();
  lists.inputs.clear();
  ChooseAndOk(0, 0);
  EXPECT_EQ(view.maxInputFormats, 0x0800u);
  EXPECT_TRUE(ui.messages.empty());
}

TEST_F(DeviceCommandTest, AnUnsupportedRecordingFormatIsReportedAndTheDeviceStillTaken) {
  const struct {
    uint32_t rate;
    uint16_t bits;
    uint16_t channels;
    bool reported;
  } cases[] = {
      {44100, 16, 2, true},   // 0x800: the USB microphone takes mono only
      {44100, 16, 1, false},  // 0x400
      {22050, 16, 1, false},  // 0x40
      {48000, 16, 1, false},  // 0x4000
      {48000, 8, 1, true},    // 0x1000
      {192000, 16, 1, true},  // never in a mask
      {8000, 16, 1, false},   // any other rate tests the 11025 Hz bits: 0x4
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rate);
    ui.messages.clear();
    view.inputDevice = kDefaultDevice;
    view.recordRate = c.rate;
    view.recordBits = c.bits;
    view.recordChannels = c.channels;
    ChooseAndOk(1, 2);
    EXPECT_EQ(view.inputDevice, 1) << "taken all the same";
    if (c.reported) {
      ASSERT_EQ(ui.messages.size(), 1u);
      EXPECT_EQ(ui.messages[0].text, msg::kDeviceFormatUnsupported);
      EXPECT_EQ(ui.messages[0].icon, MessageIcon::Exclamation);
    } else {
      EXPECT_TRUE(ui.messages.empty());
    }
  }
}

TEST_F(DeviceCommandTest, NothingOpensUnlessTheTransportIsStopped) {
  for (TransportState state :
       {TransportState::Playing, TransportState::Recording, TransportState::TuningTone}) {
    doc.SetTransportState(state);
    EXPECT_TRUE(command.OnCommand(cmd::kAudioDevices));
  }
  EXPECT_TRUE(window.shown.empty());
  EXPECT_FALSE(command.OnCommand(cmd::kRecordSetup));
}

}  // namespace
}  // namespace velmora
