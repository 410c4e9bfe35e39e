// The property dialog's content: what is collected from the mix and the channels, and the texts
// each tab shows (empty for zeros, the playing time with minutes beyond two digits).

#include <gtest/gtest.h>

#include <string>

#include "dialogs/Properties.h"
#include "document/VelmoraDoc.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

void Fill(RiffHeader& header, int channels, int rate, int bits) {
  header.channels = static_cast<int16_t>(channels);
  header.samplesPerSec = rate;
  header.bitsPerSample = static_cast<int16_t>(bits);
}

TEST(PropertiesTest, CollectsTheMixAndTheLoadedChannelsOnly) {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  ASSERT_TRUE(test::DocumentAccess::slot(doc, 1).data.Allocate(8));
  Fill(test::DocumentAccess::slot(doc, 1).header, 2, 44100, 16);
  test::DocumentAccess::slot(doc, 1).frames = 441000;
  test::DocumentAccess::slot(doc, 1).path = "/home/user/録音/a very long folder name/take.wav";
  ASSERT_TRUE(test::DocumentAccess::slot(doc, 3).data.Allocate(8));
  Fill(test::DocumentAccess::slot(doc, 3).header, 1, 22050, 8);
  test::DocumentAccess::slot(doc, 3).frames = 12345;
  test::DocumentAccess::slot(doc, 2).path =
      "/left/behind.wav";  // a path without data shows nothing

  PropertyEntries entries = CollectProperties(doc);
  EXPECT_EQ(entries[0].sampleRate, 0) << "no mix yet";
  EXPECT_EQ(entries[0].fileName, "");
  const PropertyEntry& stereo = entries[2];
  EXPECT_EQ(stereo.sampleRate, 44100);
  EXPECT_EQ(stereo.bitsPerSample, 16);
  EXPECT_EQ(stereo.channelCount, 2);
  EXPECT_EQ(stereo.totalBytes, 441000 * 4);
  EXPECT_EQ(stereo.playTimeMs, 10000);
  EXPECT_EQ(stereo.fileName, doc.slot(1).path);
  EXPECT_EQ(entries[3].fileName, "");
  EXPECT_EQ(entries[3].totalBytes, 0);
  EXPECT_EQ(entries[4].totalBytes, 12345) << "8-bit mono: one byte a frame";
  EXPECT_EQ(entries[4].playTimeMs, 559) << "12345 / 22050 s, truncated";
  EXPECT_EQ(entries[1].sampleRate, 0);

  // The mix: its output header, length and output file; sizes beyond 2 GiB stay true.
  ASSERT_TRUE(test::DocumentAccess::mixBuffer(doc).Allocate(16));
  Fill(test::DocumentAccess::outHeader(doc).riff, 2, 48000, 16);
  test::DocumentAccess::mixFrames(doc) = 600000000;
  test::DocumentAccess::outputPath(doc) = "/tmp/mix.wav";
  entries = CollectProperties(doc);
  EXPECT_EQ(entries[0].sampleRate, 48000);
  EXPECT_EQ(entries[0].totalBytes, int64_t{2400000000});
  EXPECT_EQ(entries[0].playTimeMs, 12500000);
  EXPECT_EQ(entries[0].fileName, "/tmp/mix.wav");
}

TEST(PropertiesTest, TextsOfATab) {
  const struct {
    int64_t ms;
    const char* shown;
  } times[] = {{10000, "00:10.000"},
               {61234, "01:01.234"},
               {6000000, "100:00.000"},
               {999, "00:00.999"},
               {0, ""},
               {12500000, "208:20.000"}};
  for (const auto& t : times) {
    PropertyEntry entry;
    entry.playTimeMs = t.ms;
    EXPECT_EQ(TextsOf(entry).playTime, t.shown) << t.ms;
  }

  PropertyEntry empty;
  const PropertyTexts none = TextsOf(empty);
  for (const std::string& text : {none.sampleRate, none.bitsPerSample, none.channelCount,
                                  none.totalBytes, none.playTime, none.fileName}) {
    EXPECT_EQ(text, "") << "an empty channel shows empty fields, not zeros";
  }

  PropertyEntry full;
  full.sampleRate = 44100;
  full.bitsPerSample = 16;
  full.channelCount = 2;
  full.totalBytes = 2400000000;
  full.playTimeMs = 10000;
  full.fileName = "C:/x.wav";
  const PropertyTexts shown = TextsOf(full);
  EXPECT_EQ(shown.sampleRate, "44100");
  EXPECT_EQ(shown.bitsPerSample, "16");
  EXPECT_EQ(shown.channelCount, "2");
  EXPECT_EQ(shown.totalBytes, "2400000000");
  EXPECT_EQ(shown.playTime, "00:10.000");
  EXPECT_EQ(shown.fileName, "C:/x.wav");
}

}  // namespace
}  // namespace velmora
