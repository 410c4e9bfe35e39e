// The device selection dialog of the real program under X, opened by its command over a sound
// system in memory: the combos with "自動選択" first, the format list of the combo touched last,
// its layout; what OK and Cancel leave in the view, the message for a recording format the chosen
// input does not take, playback on the chosen device, and "Device" written at exit.

#include <gtest/gtest.h>
#include <wx/button.h>
#include <wx/combobox.h>
#include <wx/listctrl.h>
#include <wx/wx.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DeviceListDlg.h"
#include "DialogLayout.h"
#include "GuiTestMain.h"
#include "MainFrame.h"
#include "MixerForm.h"
#include "ShellFixture.h"
#include "VelmoraApp.h"
#include "VelmoraView.h"
#include "app/Settings.h"
#include "audio/VirtualAudioBackend.h"
#include "dialogs/DeviceList.h"
#include "document/VelmoraDoc.h"
#include "panel/MixerPanel.h"
#include "seams/CommandIds.h"
#include "support/FakeUi.h"
#include "support/MemoryServices.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using test::Click;
using test::WithModalDialog;

using test::Pump;
using test::Send;
using test::U;

// What the list shows, row by row: rate, bits, channels.
std::vector<std::string> Rows(wxListCtrl& list) {
  std::vector<std::string> rows;
  for (long row = 0; row < list.GetItemCount(); ++row) {
    rows.push_back((list.GetItemText(row, 0) + " / " + list.GetItemText(row, 1) + " / " +
                    list.GetItemText(row, 2))
                       .utf8_string());
  }
  return rows;
}

std::vector<std::string> RowsOf(uint32_t formats) {
  std::vector<std::string> rows;
  for (const FormatRow& row : FormatRowsOf(formats)) {
    rows.push_back(row.rate + " / " + row.bits + " / " + row.channels);
  }
  return rows;
}

void Choose(wxComboBox& combo, int item) {
  combo.SetSelection(item);
  wxCommandEvent chosen(wxEVT_COMBOBOX, combo.GetId());
  chosen.SetEventObject(&combo);
  chosen.SetInt(item);
  combo.ProcessWindowEvent(chosen);
}

void Focus(wxWindow& window) {
  wxFocusEvent focus(wxEVT_SET_FOCUS, window.GetId());
  focus.SetEventObject(&window);
  window.ProcessWindowEvent(focus);
}

// Writes into a store the test owns, which outlives the shell's.
class ForwardingSettings : public SettingsStore {
 public:
  explicit ForwardingSettings(SettingsStore& to) : to_(to) {}
  bool OpenKey() override { return to_.OpenKey(); }
  bool CreateKey() override { return to_.CreateKey(); }
  std::optional<std::vector<uint8_t>> ReadValue(const std::string& name) override {
    return to_.ReadValue(name);
  }
  bool WriteValue(const std::string& name, const std::vector<uint8_t>& bytes) override {
    return to_.WriteValue(name, bytes);
  }
  void CloseKey() override { to_.CloseKey(); }

 private:
  SettingsStore& to_;
};

class DeviceDialogWindowTest : public test::ShellTest {
 protected:
  void AdjustServices(ShellServices& services) override {
    services.settings = std::make_unique<ForwardingSettings>(settings_);
    auto audio = std::make_unique<VirtualAudioBackend>();
    audio->outputs = {{"PulseAudio", 0xFFFFF}, {"HDA Intel PCH: ALC892 Analog (hw:0,0)", 0x0CCCC}};
    audio->inputs = {{"PulseAudio", 0x00FFF}, {"USB Mic: Audio (hw:1,0)", 0x04444}};
    audio_ = audio.get();
    services.audio = std::move(audio);
  }

  static void Close() { test::CloseShell(); }

  ViewSettings& view() { return TheApp().view()->settings(); }

  test::MemorySettings settings_;
  VirtualAudioBackend* audio_ = nullptr;
};

TEST_F(DeviceDialogWindowTest, TheDialogOffersTheDevicesFoundAtStartUp) {
  const MixerPanel& panel = TheApp().view()->mixer()->panel();
  for (int i = 0; i < 200 && panel.devices().outputCount < 0; ++i) Pump();
  ASSERT_EQ(panel.devices().outputCount, 2) << "the start-up survey arrived";
  EXPECT_EQ(view().maxInputFormats, 0x04444u) << "the largest input mask";
  // The dialog shows what the view found at start-up, without asking the sound system again: a
  // device that appears later waits for the next start.
  audio_->outputs.push_back({"USB Headset: Audio (hw:2,0)", 0x0800});
  WithModalDialog([&] { Send(cmd::kAudioDevices); },
                  [&](wxDialog& dialog) {
                    auto* devices = dynamic_cast<CDeviceListDlg*>(&dialog);
                    ASSERT_NE(devices, nullptr);
                    EXPECT_EQ(devices->playbackCombo()->GetCount(), 3u);
                    EXPECT_EQ(devices->recordCombo()->GetCount(), 3u);
                    Click(*dialog.FindWindow(wxID_CANCEL));
                  });
}

TEST_F(DeviceDialogWindowTest, TheListShowsTheFormatsOfTheComboTouchedLast) {
  view().outputDevice = 1;
  view().inputDevice = kDefaultDevice;
  WithModalDialog([&] { Send(cmd::kAudioDevices); },
                  [&](wxDialog& dialog) {
                    auto* devices = dynamic_cast<CDeviceListDlg*>(&dialog);
                    ASSERT_NE(devices, nullptr);
                    EXPECT_EQ(dialog.GetTitle(), U("デバイス選択"));
                    wxComboBox* playback = devices->playbackCombo();
                    wxComboBox* record = devices->recordCombo();
                    wxListCtrl* list = devices->formatList();
                    EXPECT_EQ(playback->GetId(), devctl::kPlayback);
                    EXPECT_EQ(record->GetId(), devctl::kRecord);
                    EXPECT_EQ(list->GetId(), devctl::kFormats);
                    ASSERT_EQ(playback->GetCount(), 3u);
                    EXPECT_EQ(playback->GetString(0), U("自動選択"));
                    EXPECT_EQ(playback->GetString(1), "PulseAudio");
                    EXPECT_EQ(playback->GetString(2), "HDA Intel PCH: ALC892 Analog (hw:0,0)");
                    ASSERT_EQ(record->GetCount(), 3u);
                    EXPECT_EQ(record->GetString(2), "USB Mic: Audio (hw:1,0)");
                    EXPECT_EQ(playback->GetSelection(), 2);
                    EXPECT_EQ(record->GetSelection(), 0);

                    ASSERT_EQ(list->GetColumnCount(), 3);
                    const char* titles[] = {"サンプリング周波数", "量子化ビット数", "チャンネル"};
                    for (int i = 0; i < 3; ++i) {
                      wxListItem column;
                      column.SetMask(wxLIST_MASK_TEXT | wxLIST_MASK_WIDTH);
                      ASSERT_TRUE(list->GetColumn(i, column));
                      EXPECT_EQ(column.GetText(), U(titles[i]));
                      EXPECT_GE(column.GetWidth(), list->GetTextExtent(U(titles[i])).x)
                          << "title not cut";
                    }
                    // The playback device's formats first, twelve of its sixteen bits in bit order.
                    EXPECT_EQ(Rows(*list), RowsOf(0x0CCCC));
                    EXPECT_EQ(Rows(*list).front(), "11025 Hz / 16 ビット / モノラル");
                    test::ExpectNothingOverlapsOrIsClipped(dialog);
                    test::ExpectJapaneseFace(dialog);
                    test::SaveScreenshot(dialog, "device-selection");

                    Choose(*record, 2);
                    EXPECT_EQ(Rows(*list), RowsOf(0x04444));
                    Focus(*playback);
                    EXPECT_EQ(Rows(*list), RowsOf(0x0CCCC));
                    Choose(*playback, 1);
                    EXPECT_EQ(Rows(*list).size(), 20u);
                    Choose(*playback, 0);
                    EXPECT_TRUE(Rows(*list).empty()) << "自動選択: no rows";
                    Focus(*record);
                    EXPECT_EQ(Rows(*list), RowsOf(0x04444));
                    test::SaveScreenshot(dialog, "device-selection-record");
                    Click(*dialog.FindWindow(wxID_CANCEL));
                  });
  EXPECT_EQ(view().outputDevice, 1) << "Cancel keeps the devices";
  EXPECT_EQ(view().inputDevice, kDefaultDevice);
  EXPECT_TRUE(ui_->messages.empty());
}

TEST_F(DeviceDialogWindowTest, OkTakesTheDevicesWarnsOfTheFormatAndPlaysOnTheChosenOne) {
  view().recordRate = 44100;
  view().recordBits = 16;
  view().recordChannels = 2;  // 0x800, which the USB microphone does not take
  WithModalDialog([&] { Send(cmd::kAudioDevices); },
                  [&](wxDialog& dialog) {
                    auto* devices = dynamic_cast<CDeviceListDlg*>(&dialog);
                    ASSERT_NE(devices, nullptr);
                    Choose(*devices->playbackCombo(), 2);
                    Choose(*devices->recordCombo(), 2);
                    EXPECT_TRUE(ui_->messages.empty()) << "nothing before OK";
                    Click(*dialog.FindWindow(wxID_OK));
                  });
  EXPECT_EQ(view().outputDevice, 1);
  EXPECT_EQ(view().inputDevice, 1);
  EXPECT_EQ(view().maxInputFormats, 0x04444u);
  ASSERT_EQ(ui_->messages.size(), 1u);
  EXPECT_EQ(ui_->messages[0].text, "選択したデバイスは現在の録音設定に対応していません。");
  EXPECT_EQ(ui_->messages[0].icon, MessageIcon::Exclamation);

  // Playback opens on the chosen device.
  const std::string take = test::WriteWav(dir_, "take.wav", test::WavSpec{},
                                          std::vector<uint8_t>(std::size_t{44100} * 4, 0));
  TheApp().view()->mixer()->panel().OnFilesDropped({take});
  Send(cmd::kPlay);
  const VirtualStreamState* stream = audio_->LastStream(StreamDirection::Output);
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->device, 1);
  Send(cmd::kStop);

  // The choice is written at exit: input device, then output device.
  Close();
  ViewSettings saved;
  ReadViewSettings(settings_, saved);
  EXPECT_EQ(saved.inputDevice, 1);
  EXPECT_EQ(saved.outputDevice, 1);
}

}  // namespace
}  // namespace velmora
