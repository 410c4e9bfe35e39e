#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "document/VelmoraDoc.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

constexpr uint32_t kFrames = 2 * 44100;
constexpr uint32_t kBlock = 2048;

// Two loud stereo channels, offsets, fades and a start position in the middle, so that a build
// clamps, fades and wraps.
void LoadBusyMix(CVelmoraDoc& doc) {
  std::mt19937 rng(7);
  for (int i = 0; i < 2; ++i) {
    ChannelSlot& slot = doc.slots[i];
    ASSERT_TRUE(slot.data.Allocate(std::size_t{kFrames} * 4));
    for (uint32_t k = 0; k < kFrames * 4; ++k) slot.data.data()[k] = static_cast<uint8_t>(rng());
    slot.frames = kFrames;
    slot.header.channels = 2;
    slot.header.samplesPerSec = 44100;
    slot.header.bitsPerSample = 16;
    slot.autoLevel = AutoLevelFromSamples(slot.data.data(), kFrames, 2, 16);
    slot.level = slot.autoLevel - 10;
    slot.selected = 1;
    slot.inUse = 1;
    slot.balance = 6 + 8 * i;
    slot.offset = 250 * i;
  }
  doc.fadeIn[0] = {FadeCurve::Concave, 300};
  doc.fadeOut[kWholeMix] = {FadeCurve::Convex, 500};
  doc.position = 50000;
  doc.mixStale.store(1);
}

struct Snapshot {
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> peaks;
  std::vector<MixCorrection> corrections;
};

Snapshot SnapshotOf(const CVelmoraDoc& doc) {
  return {std::vector<uint8_t>(doc.mixBuffer.data(), doc.mixBuffer.data() + doc.mixBuffer.size()),
          doc.blockPeaks.ToBytes(), doc.corrections};
}

void ExpectSameMix(const Snapshot& a, const Snapshot& b) {
  EXPECT_TRUE(a.pcm == b.pcm);
  EXPECT_TRUE(a.peaks == b.peaks);
  ASSERT_EQ(a.corrections.size(), b.corrections.size());
  for (std::size_t i = 0; i < a.corrections.size(); ++i) {
    EXPECT_EQ(a.corrections[i].start, b.corrections[i].start);
    EXPECT_EQ(a.corrections[i].count, b.corrections[i].count);
  }
}

Snapshot InlineMix() {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  EXPECT_EQ(doc.BuildMix(kBlock, 0), 1);
  return SnapshotOf(doc);
}

class MixdownWorker : public ::testing::Test {
 protected:
  test::FakeUi ui;
};

TEST_F(MixdownWorker, FramesBelowTheCursorAreFinalWhileTheWorkerRuns) {
  const Snapshot expected = InlineMix();
  ASSERT_FALSE(expected.corrections.empty());
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  const uint32_t frames = doc.mixFrames;
  const uint32_t start = doc.position;
  // Follow the worker as playback does: frames from the position up to the cursor are final.
  uint32_t checked = 0;
  while (doc.workerBusy.load(std::memory_order_acquire) == 1) {
    const uint32_t cursor = doc.mixCursor.load(std::memory_order_acquire);
    const uint32_t ready = (cursor + frames - start) % frames;
    for (; checked < ready; ++checked) {
      const std::size_t at = 4 * static_cast<std::size_t>((start + checked) % frames);
      ASSERT_EQ(std::memcmp(doc.mixBuffer.data() + at, expected.pcm.data() + at, 4), 0)
          << "frame " << (start + checked) % frames;
    }
    (void)doc.blockPeaks.LeftPercent(start / kBlock);  // the meters read while the worker writes
    std::this_thread::yield();
  }
  doc.WaitForWorker(false);
  EXPECT_FALSE(doc.workerThread.joinable());
  EXPECT_EQ(doc.mixStale.load(), 0);
  ExpectSameMix(SnapshotOf(doc), expected);
}

TEST_F(MixdownWorker, ARebuildAfterAFinishedWorkerStartsAnother) {
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  while (doc.workerBusy.load(std::memory_order_acquire) == 1) std::this_thread::yield();
  // The finished thread is still joinable; the next build must join it, not replace it.
  doc.slots[1].offset = 0;
  doc.mixStale.store(1);
  ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  doc.WaitForWorker(false);
  EXPECT_EQ(doc.mixFrames, kFrames);
}

TEST_F(MixdownWorker, ASynchronousBuildWaitsForTheWorker) {
  const Snapshot expected = InlineMix();
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  // The worker's mix is current once it is done, so there is nothing more to build.
  EXPECT_EQ(doc.BuildMix(kBlock, 0), 0);
  EXPECT_EQ(doc.workerBusy.load(), 0);
  ExpectSameMix(SnapshotOf(doc), expected);
}

TEST_F(MixdownWorker, AStopRequestEndsTheBuild) {
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  doc.WaitForWorker(true);
  EXPECT_EQ(doc.workerBusy.load(), 0);
  EXPECT_EQ(doc.workerStop.load(), 0);
  EXPECT_FALSE(doc.workerThread.joinable());
  EXPECT_EQ(doc.mixStale.load(), 0);
  EXPECT_TRUE(doc.HasMix());
}

TEST_F(MixdownWorker, TheDocumentWaitsForTheWorkerBeforeItGoes) {
  for (int i = 0; i < 3; ++i) {
    CVelmoraDoc doc(ui);
    LoadBusyMix(doc);
    ASSERT_EQ(doc.BuildMix(kBlock, 1), 1);
  }
}

}  // namespace
}  // namespace velmora
