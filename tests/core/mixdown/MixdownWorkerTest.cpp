#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "document/VelmoraDoc.h"
#include "support/DocumentFixture.h"
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
    std::vector<uint8_t> bytes(std::size_t{kFrames} * 4);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(rng());
    const ChannelSlot& slot = test::PutChannel(doc, i, {44100, 2, 16}, bytes);
    doc.SetLevel(i, slot.autoLevel - 10);
    doc.SetBalance(i, 6 + 8 * i);
    doc.SetOffset(i, 250 * i);
  }
  doc.SetFadeIn(0, {FadeCurve::Concave, 300});
  doc.SetFadeOut(kWholeMix, {FadeCurve::Convex, 500});
  doc.SetPosition(50000);
  doc.SetMixStale(true);
}

struct Snapshot {
  std::vector<uint8_t> pcm;
  std::vector<uint8_t> peaks;
  std::vector<MixCorrection> corrections;
};

Snapshot SnapshotOf(const CVelmoraDoc& doc) {
  return {
      std::vector<uint8_t>(doc.mixBuffer().data(), doc.mixBuffer().data() + doc.mixBuffer().size()),
      doc.blockPeaks().ToBytes(), doc.corrections()};
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
  EXPECT_EQ(doc.BuildMix(kBlock, false), MixBuild::Built);
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
  ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  const uint32_t frames = doc.mixFrames();
  const uint32_t start = doc.position();
  // Follow the worker as playback does: frames from the position up to the cursor are final.
  uint32_t checked = 0;
  while (doc.workerBusy()) {
    const uint32_t cursor = doc.mixCursor();
    const uint32_t ready = (cursor + frames - start) % frames;
    for (; checked < ready; ++checked) {
      const std::size_t at = 4 * static_cast<std::size_t>((start + checked) % frames);
      ASSERT_EQ(std::memcmp(doc.mixBuffer().data() + at, expected.pcm.data() + at, 4), 0)
          << "frame " << (start + checked) % frames;
    }
    (void)doc.blockPeaks().LeftPercent(start / kBlock);  // the meters read while the worker writes
    std::this_thread::yield();
  }
  doc.WaitForWorker(false);
  EXPECT_FALSE(test::DocumentAccess::WorkerThreadJoinable(doc));
  EXPECT_FALSE(doc.mixStale());
  ExpectSameMix(SnapshotOf(doc), expected);
}

TEST_F(MixdownWorker, ARebuildAfterAFinishedWorkerStartsAnother) {
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  while (doc.workerBusy()) std::this_thread::yield();
  // The finished thread is still joinable; the next build must join it, not replace it.
  doc.SetOffset(1, 0);
  ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  doc.WaitForWorker(false);
  EXPECT_EQ(doc.mixFrames(), kFrames);
}

TEST_F(MixdownWorker, ASynchronousBuildWaitsForTheWorker) {
  const Snapshot expected = InlineMix();
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  // The worker's mix is current once it is done, so there is nothing more to build.
  EXPECT_EQ(doc.BuildMix(kBlock, false), MixBuild::AlreadyCurrent);
  EXPECT_FALSE(doc.workerBusy());
  ExpectSameMix(SnapshotOf(doc), expected);
}

TEST_F(MixdownWorker, AStopRequestEndsTheBuild) {
  CVelmoraDoc doc(ui);
  LoadBusyMix(doc);
  ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  doc.WaitForWorker(true);
  EXPECT_FALSE(doc.workerBusy());
  EXPECT_FALSE(test::DocumentAccess::worker(doc).stopFlag().load());
  EXPECT_FALSE(test::DocumentAccess::WorkerThreadJoinable(doc));
  EXPECT_FALSE(doc.mixStale());
  EXPECT_TRUE(doc.HasMix());
}

TEST_F(MixdownWorker, TheDocumentWaitsForTheWorkerBeforeItGoes) {
  for (int i = 0; i < 3; ++i) {
    CVelmoraDoc doc(ui);
    LoadBusyMix(doc);
    ASSERT_EQ(doc.BuildMix(kBlock, true), MixBuild::Building);
  }
}

}  // namespace
}  // namespace velmora
