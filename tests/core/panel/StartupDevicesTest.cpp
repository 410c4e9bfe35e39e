// What the view learns from the sound system at start-up: both directions enumerated, the
// recording format and block length derived from the largest input mask, a mix loaded before
// the survey came back keeping its own format, and stored devices no longer present falling back
// to the default device.

#include <gtest/gtest.h>

#include "audio/VirtualAudioBackend.h"
#include "document/VelmoraDoc.h"
#include "panel/CorrectionList.h"
#include "panel/MixerPanel.h"
#include "panel/StartupDevices.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeForm.h"
#include "support/FakeTimers.h"
#include "support/FakeUi.h"
#include "support/StudioRig.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

TEST(StartupRecordFormat, FollowsTheRateNibbleOfTheLargestInputMask) {
  struct Case {
    uint32_t mask;
    uint32_t rate;
    uint16_t bits;
    uint16_t channels;
    uint32_t blockFrames;
  };
  const Case cases[] = {
      {0x0, 11025, 8, 1, 512},        // no input device
      {0x2, 11025, 8, 2, 512},        // stereo 8-bit only
      {0x7, 11025, 16, 1, 512},       // mono 16-bit, no stereo 16-bit
      {0x30, 22050, 8, 2, 1024},      // 22050 Hz, 8-bit only
      {0xF0, 22050, 16, 2, 1024},     //
      {0x100, 44100, 8, 1, 2048},     // the 44100 Hz nibble decides once it is reached
      {0x4FF, 44100, 16, 1, 2048},    //
      {0xFFFFF, 44100, 16, 2, 2048},  // every format: 44100 Hz, not the highest rate
      {0x80000, 44100, 8, 1, 2048},   // a 96000 Hz bit alone: the 44100 Hz nibble is empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.mask);
    const RecordFormat format = StartupRecordFormat(c.mask);
    EXPECT_EQ(format.rate, c.rate);
    EXPECT_EQ(format.bits, c.bits);
    EXPECT_EQ(format.channels, c.channels);
    EXPECT_EQ(format.blockFrames, c.blockFrames);
  }
}

class StartupDevicesTest : public ::testing::Test {
 protected:
  test::FakeUi ui;
  test::FakeForm form;
  test::FakeTimers timers;
  ViewSettings view;
  CVelmoraDoc doc{ui};
  CorrectionList list{form};
  MixerPanel panel{ViewContext{doc, ui, form, timers, view}, list, nullptr};
  VirtualAudioBackend backend;
};

TEST_F(StartupDevicesTest, SurveyKeepsTheDevicesAndTheInputMaskGivesTheRecordingFormat) {
  backend.outputs = {{"speakers", 0xFFFFF}, {"hdmi", 0x0FFFF}};
  backend.inputs = {{"line", 0x00045}, {"mic", 0x00044}};  // the largest: 22050 Hz, mono 16-bit
  panel.AdoptDeviceSurvey(SurveyDevices(backend));

  const DeviceSurvey& devices = panel.devices();
  EXPECT_EQ(devices.outputCount, 2);
  EXPECT_EQ(devices.outputs[1].name, "hdmi");
  EXPECT_EQ(devices.outputFormats, 0xFFFFFu);
  EXPECT_EQ(devices.inputCount, 2);
  EXPECT_EQ(devices.inputs[0].formats, 0x00045u);
  EXPECT_EQ(view.maxInputFormats, 0x00045u);
  EXPECT_EQ(view.recordRate, 22050u);
  EXPECT_EQ(view.recordBits, 16);
  EXPECT_EQ(view.recordChannels, 1);
  EXPECT_EQ(view.blockFrames, 1024u);
  EXPECT_EQ(view.recordBlockFrames, 1024u);
}

TEST_F(StartupDevicesTest, NoSoundSystemLeavesTheSmallestFormatAndNoDevices) {
  backend.initialised = false;
  panel.AdoptDeviceSurvey(SurveyDevices(backend));
  EXPECT_EQ(panel.devices().outputCount, -1);
  EXPECT_EQ(panel.devices().inputCount, -1);
  EXPECT_EQ(view.maxInputFormats, 0u);
  EXPECT_EQ(view.recordRate, 11025u);
  EXPECT_EQ(view.recordBits, 8);
  EXPECT_EQ(view.blockFrames, 512u);
}

// Files named on the command line load before the survey is back: their mix format stays the
// one recording and playback use, as every refresh would adopt it.
TEST_F(StartupDevicesTest, MixLoadedBeforeTheSurveyKeepsItsFormat) {
  test::PutSilence(doc, 0, {48000, 2, 8}, 100);
  doc.UpdateOutputFormat();
  panel.Refresh();
  panel.AdoptDeviceSurvey(SurveyDevices(backend));
  EXPECT_EQ(view.maxInputFormats, 0xFFFFFu);
  EXPECT_EQ(view.recordRate, 48000u);
  EXPECT_EQ(view.recordBits, 8);
  EXPECT_EQ(view.recordChannels, 2) << "from the mask: the mix says nothing of channels";
  EXPECT_EQ(view.blockFrames, 2048u);
}

constexpr const char* kOutputMissing =
    "保存された再生デバイスが見つかりません。自動選択を使用します。";
constexpr const char* kInputMissing =
    "保存された録音デバイスが見つかりません。自動選択を使用します。";
constexpr const char* kBothMissing =
    "保存された再生・録音デバイスが見つかりません。自動選択を使用します。";

TEST_F(StartupDevicesTest, AStoredDeviceThatIsNotThereFallsBackToTheDefaultWithANote) {
  struct Case {
    const char* name;
    std::size_t outputs, inputs;  // devices present
    int32_t storedOutput, storedInput;
    int32_t output, input;  // after the survey
    std::string note;
  };
  const Case cases[] = {
      {"both present", 2, 2, 1, 1, 1, 1, ""},
      {"the defaults", 1, 1, kDefaultDevice, kDefaultDevice, kDefaultDevice, kDefaultDevice, ""},
      {"output unplugged", 1, 2, 3, 1, kDefaultDevice, 1, kOutputMissing},
      {"input unplugged", 2, 1, 0, 1, 0, kDefaultDevice, kInputMissing},
      {"another machine's", 1, 1, 1, 2, kDefaultDevice, kDefaultDevice, kBothMissing},
      {"a damaged number", 2, 2, -7, 0, kDefaultDevice, 0, kOutputMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    backend.outputs.assign(c.outputs, VirtualDevice{"out", 0xFFFFF});
    backend.inputs.assign(c.inputs, VirtualDevice{"in", 0xFFFFF});
    view.outputDevice = c.storedOutput;
    view.inputDevice = c.storedInput;
    const MissingDevices missing = FallBackFromMissingDevices(SurveyDevices(backend), view);
    EXPECT_EQ(view.outputDevice, c.output);
    EXPECT_EQ(view.inputDevice, c.input);
    EXPECT_EQ(MissingDevicesNote(missing), c.note);
  }
}

TEST_F(StartupDevicesTest, DevicesAreKeptWhenTheSoundSystemCannotSay) {
  // A failed query, or no sound system: nothing is known to be missing.
  for (const bool initialised : {true, false}) {
    SCOPED_TRACE(initialised);
    backend.initialised = initialised;
    backend.failQueryOf = initialised ? 0 : VirtualAudioBackend::kNoQueryFailure;
    view.outputDevice = 3;
    view.inputDevice = 2;
    const MissingDevices missing = FallBackFromMissingDevices(SurveyDevices(backend), view);
    EXPECT_EQ(view.outputDevice, 3);
    EXPECT_EQ(view.inputDevice, 2);
    EXPECT_EQ(MissingDevicesNote(missing), "");
  }
}

class MissingDevicesRig : public ::testing::Test, protected test::StudioRig {};

TEST_F(MissingDevicesRig, RecordAndTheToneThenOpenTheDefaultDevice) {
  // One device each way; the settings name the fourth.
  view.outputDevice = 3;
  view.inputDevice = 3;
  view.maxInputFormats = 0xFFFFF;
  recorder.options.simultaneousPlayback = false;
  FallBackFromMissingDevices(SurveyDevices(backend), view);

  form.SetText(ctl::kTuningButton, TuningPlayCaption(view.tuningHz));
  tone.OnButton();
  ASSERT_NE(backend.LastStream(StreamDirection::Output), nullptr) << "the tone sounds";
  EXPECT_EQ(backend.LastStream(StreamDirection::Output)->device, kDefaultDevice);
  tone.OnButton();

  recorder.OnCommand(cmd::kRecord);
  EXPECT_EQ(doc.transportState(), TransportState::Recording);
  ASSERT_NE(backend.LastStream(StreamDirection::Input), nullptr);
  EXPECT_EQ(backend.LastStream(StreamDirection::Input)->device, kDefaultDevice);
  EXPECT_TRUE(ui.messages.empty());
  transport.Stop();
}

}  // namespace
}  // namespace velmora
