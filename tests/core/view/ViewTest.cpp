// Rules the view's parts share: the position slider's range and the device failure messages.

#include <gtest/gtest.h>

#include <climits>
#include <string>

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
    DeviceFailure failure;
    int code;
    std::string text;
  };
  const Case cases[] = {
      {DeviceFailure::Prepare, kBlockStillQueued, "waveOutP Error - 33"},
      {DeviceFailure::Write, -9999, "waveOutW Error - -9999"},
      {DeviceFailure::Requeue, 5, "waveIn Error - 5"},
      {DeviceFailure::OutputFailed, -9999, "waveOutW Error - -9999"},
      {DeviceFailure::InputFailed, -9981, "waveIn Error - -9981"},
      {DeviceFailure::None, 0, ""},
      {DeviceFailure::NotOpen, 0, ""},
      {DeviceFailure::TooManyBlocks, 0, ""},
      {DeviceFailure::Open, -9996, ""},
      {DeviceFailure::Start, -9996, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DeviceErrorMessage(DeviceResult{c.failure, c.code}), c.text)
        << static_cast<int>(c.failure);
  }
}

}  // namespace
}  // namespace velmora
