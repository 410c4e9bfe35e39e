// The master volume on ALSA's simple mixer: through the private PulseAudio server's "Master"
// control, and the neutral results without a mixer or without the control.

#include <gtest/gtest.h>

#include <cstdlib>

#include "shell/AlsaMasterVolume.h"

namespace velmora {
namespace {

bool HaveTestServer() {
  return std::getenv("VELMORA_TEST_PULSE") != nullptr;
}

TEST(MasterVolume, ReadsAndSetsTheMasterControlOfTheDefaultCard) {
  if (!HaveTestServer()) GTEST_SKIP() << "VELMORA_TEST_PULSE is not set";
  AlsaMasterVolume volume;
  const VolumeRange range = volume.GetMasterVolumeRange();
  ASSERT_GT(range.maximum, range.minimum);
  const int32_t before = volume.GetMasterVolume();
  EXPECT_GE(before, range.minimum);
  EXPECT_LE(before, range.maximum);

  const int32_t middle = range.minimum + (range.maximum - range.minimum) / 2;
  for (int32_t value : {range.minimum, middle, range.maximum}) {
    ASSERT_TRUE(volume.SetMasterVolume(value)) << value;
    // A fresh object: every call opens the mixer anew, so the value is the system's.
    EXPECT_NEAR(AlsaMasterVolume().GetMasterVolume(), value, (range.maximum - range.minimum) / 100)
        << value;
  }
  volume.SetMasterVolume(before);
}

TEST(MasterVolume, NeutralResultsWithoutMixerOrControl) {
  struct Row {
    const char* card;
    const char* control;
  };
  const Row rows[] = {{"hw:97", "Master"}, {"no-such-device", "Master"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.card);
    AlsaMasterVolume volume(row.card, row.control);
    const VolumeRange range = volume.GetMasterVolumeRange();
    EXPECT_EQ(range.maximum, 0);
    EXPECT_EQ(range.minimum, 0);
    EXPECT_EQ(volume.GetMasterVolume(), 0);
    EXPECT_FALSE(volume.SetMasterVolume(10));
  }
}

TEST(MasterVolume, NeutralResultsWhenTheCardHasNoSuchControl) {
  if (!HaveTestServer()) GTEST_SKIP() << "VELMORA_TEST_PULSE is not set";
  AlsaMasterVolume volume("default", "No Such Control");
  EXPECT_EQ(volume.GetMasterVolumeRange().maximum, 0);
  EXPECT_EQ(volume.GetMasterVolume(), 0);
  EXPECT_FALSE(volume.SetMasterVolume(10));
}

}  // namespace
}  // namespace velmora
