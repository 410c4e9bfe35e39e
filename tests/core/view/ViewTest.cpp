// Rules the view's parts share: the position slider's range and the device failure messages.

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "audio/WaveDevice.h"
#include "view/DeviceMessages.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

TEST(PositionSliderMax, LeavesOneBlockToPlayAndNeverLessThanOne) {
  struct Case {
    uint32_t mixFrames;
    uint32_t blockFrames;
    int max;
  };
  const Case cases[] = {
      {0, 2048, 1},
      {2048, 2048, 1},
      {2049, 2048, 1},
      {2050, 2048, 2},
      {441000, 2048, 438952},
      {UINT32_MAX, 512, INT_MAX},
      {INT_MAX + 2048u, 2048, INT_MAX},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PositionSliderMax(c.mixFrames, c.blockFrames), c.max)
        << c.mixFrames << " frames, blocks of " << c.blockFrames;
  }
}

TEST(DeviceErrorMessage, OnlyFailuresWhileAStreamRunsHaveTheDeviceTexts) {
  struct Case {
    FailureKind what;
    int code;
    std::string text;
  };
  const Case cases[] = {
      {FailureKind::BlockStillQueued, kBlockStillQueued, "waveOutP Error - 33"},
      {FailureKind::OutputWrite, -9999, "waveOutW Error - -9999"},
      {FailureKind::Requeue, 5, "waveIn Error - 5"},
      {FailureKind::OutputFailed, -9999, "waveOutW Error - -9999"},
      {FailureKind::InputFailed, -9981, "waveIn Error - -9981"},
      {FailureKind::DeviceNotOpen, 0, ""},
      {FailureKind::TooManyBlocks, 0, ""},
      {FailureKind::DeviceOpen, -9996, ""},
      {FailureKind::DeviceStart, -9996, ""},
      {FailureKind::ReadFailed, 0, ""},  // not the device's
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceErrorMessage(Failure{c.what, "output device 1", c.code, {}, 0}), c.text)
        << static_cast<int>(c.what);
  }
  EXPECT_EQ(DeviceErrorMessage(Result{}), "");
}

}  // namespace
}  // namespace velmora
