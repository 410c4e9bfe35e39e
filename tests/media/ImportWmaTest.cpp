// Loading real WMA files through the document with the FFmpeg decoder. Every test runs in an
// empty current folder with an empty temporary folder of its own, and ends by checking that both
// are still empty: an import leaves no file behind.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "MediaFiles.h"
#include "document/VelmoraDoc.h"
#include "media/FfmpegAudioDecoder.h"
#include "seams/AudioDecoder.h"
#include "support/FakeUi.h"
#include "support/SameChannel.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::FakeUi;

constexpr double kSeconds = 1.3;

std::vector<int16_t> SamplesOf(const ChannelSlot& slot) {
  std::vector<int16_t> samples(slot.data.size() / 2);
  std::memcpy(samples.data(), slot.data.data(), samples.size() * 2);
  return samples;
}

class WmaImport : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder whose path is longer than 260 bytes and holds spaces and Japanese.
    files_ = fs::u8path(root_.path()) / fs::u8path("素材 フォルダ " + std::string(120, 'x')) /
             fs::u8path("sub dir " + std::string(120, 'y'));
    cwd_ = fs::u8path(root_.path()) / "cwd";
    tmp_ = fs::u8path(root_.path()) / "tmp";
    fs::create_directories(files_);
    fs::create_directories(cwd_);
    fs::create_directories(tmp_);
    ASSERT_GT(files_.u8string().size(), 260u);

    oldCwd_ = fs::current_path();
    fs::current_path(cwd_);
    if (const char* tmp = std::getenv("TMPDIR")) oldTmp_ = tmp;
    setenv("TMPDIR", tmp_.c_str(), 1);
    decoder_ = std::make_unique<FfmpegAudioDecoder>();
  }

  void TearDown() override {
    EXPECT_TRUE(fs::is_empty(cwd_)) << "files left in the current folder";
    EXPECT_TRUE(fs::is_empty(tmp_)) << "files left in the temporary folder";
    fs::current_path(oldCwd_);
    if (oldTmp_) {
      setenv("TMPDIR", oldTmp_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

  std::string File(const std::string& name) const { return (files_ / fs::u8path(name)).u8string(); }

  // Makes a WMA file of the known tones; returns its path.
  std::string Wma(const std::string& name, int rate, int channels) {
    const auto source = test::Tones(rate, channels, static_cast<int>(rate * kSeconds));
    std::string path = File(name);
    EXPECT_TRUE(test::MakeWma(File(name + ".wav"), path, rate, channels, source));
    return path;
  }

  std::unique_ptr<CVelmoraDoc> NewDocument(FakeUi& ui) {
    auto doc = std::make_unique<CVelmoraDoc>(ui);
    doc->SetAudioDecoder(decoder_.get());
    return doc;
  }

  test::TempDir root_;
  fs::path files_;
  fs::path cwd_;
  fs::path tmp_;
  fs::path oldCwd_;
  std::optional<std::string> oldTmp_;
  std::unique_ptr<AudioDecoder> decoder_;
};

struct Source {
  int rate;
  int channels;
  int codecFrame;  // frames in one wmav2 frame at this rate
};

TEST_F(WmaImport, DecodesEveryRateAndLayoutCloseToItsSource) {
  const Source sources[] = {{22050, 1, 1024}, {22050, 2, 1024}, {44100, 1, 2048},
                            {44100, 2, 2048}, {48000, 1, 2048}, {48000, 2, 2048}};
  for (const Source& s : sources) {
    const std::string name = "音 " + std::to_string(s.rate) + "-" + std::to_string(s.channels);
    SCOPED_TRACE(name);
    const std::string path = Wma(name + ".WMA", s.rate, s.channels);
    const auto source = test::Tones(s.rate, s.channels, static_cast<int>(s.rate * kSeconds));
    const long sourceFrames = static_cast<long>(source.size()) / s.channels;

    FakeUi ui;
    auto doc = NewDocument(ui);
    ASSERT_TRUE(doc->LoadIntoSlot(0, path));
    ASSERT_TRUE(doc->LoadIntoSlot(1, path));
    EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());

    const ChannelSlot& slot = doc->slot(0);
    EXPECT_EQ(slot.header.formatTag, 1);
    EXPECT_EQ(slot.header.channels, s.channels);
    EXPECT_EQ(slot.header.samplesPerSec, s.rate);
    EXPECT_EQ(slot.header.bitsPerSample, 16);
    EXPECT_EQ(slot.header.blockAlign, 2 * s.channels);
    EXPECT_EQ(slot.data.size(), slot.frames * 2u * s.channels);
    EXPECT_LE(std::labs(static_cast<long>(slot.frames) - sourceFrames), s.codecFrame)
        << slot.frames << " frames from " << sourceFrames;
    EXPECT_EQ(doc->slot(1).frames, slot.frames);

    const auto decoded = SamplesOf(slot);
    for (int c = 0; c < s.channels; ++c) {
      EXPECT_GT(test::BestCorrelation(decoded, source, s.channels, c, s.codecFrame), 0.95)
          << "channel " << c;
    }
  }
}

TEST_F(WmaImport, MoreThanTwoChannelsAreFoldedToStereo) {
  // Six channels of 16-bit PCM in an ASF file: decoded losslessly, then folded.
  const int rate = 48000;
  const auto mono = test::Tones(rate, 1, rate);
  std::vector<int16_t> six;
  for (const int16_t v : mono) six.insert(six.end(), 6, v);
  test::WavSpec spec;
  spec.channels = 6;
  spec.rate = rate;
  test::WriteBytes(File("six.wav"), test::MakeWav(spec, test::Pcm16(six)));
  ASSERT_TRUE(
      test::RunFfmpeg({"-i", File("six.wav"), "-c:a", "pcm_s16le", "-f", "asf", File("six.wma")}));

  FakeUi ui;
  auto doc = NewDocument(ui);
  ASSERT_TRUE(doc->LoadIntoSlot(0, File("six.wma")));
  const ChannelSlot& slot = doc->slot(0);
  EXPECT_EQ(slot.header.channels, 2);
  EXPECT_EQ(slot.frames, static_cast<uint32_t>(rate));
  const auto decoded = SamplesOf(slot);
  std::vector<int16_t> stereoSource;
  for (const int16_t v : mono) stereoSource.insert(stereoSource.end(), 2, v);
  for (int c = 0; c < 2; ++c) {
    EXPECT_GT(test::BestCorrelation(decoded, stereoSource, 2, c, 0), 0.99) << "channel " << c;
  }
}

TEST_F(WmaImport, LosslessAudioImportsExactlyAsTheSameSamplesLoadFromWav) {
  // PCM in an ASF file: what the import leaves in a channel equals a WAV load of the source.
  for (const int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    const int rate = 22050;
    const std::string name = "pcm" + std::to_string(channels);
    test::WavSpec spec;
    spec.channels = channels;
    spec.rate = rate;
    test::WriteBytes(File(name + ".wav"),
                     test::MakeWav(spec, test::Pcm16(test::Tones(rate, channels, rate))));
    ASSERT_TRUE(test::RunFfmpeg(
        {"-i", File(name + ".wav"), "-c:a", "pcm_s16le", "-f", "asf", File(name + ".wma")}));

    FakeUi ui;
    auto doc = NewDocument(ui);
    ASSERT_TRUE(doc->LoadIntoSlot(0, File(name + ".wav")));
    ASSERT_TRUE(doc->LoadIntoSlot(1, File(name + ".wma")));
    EXPECT_TRUE(ui.messages.empty()) << ::testing::PrintToString(ui.Texts());
    test::ExpectSameChannel(doc->slot(1), doc->slot(0));
  }
}

struct Refusal {
  const char* name;
  std::string path;
  std::vector<std::string> messages;
};

std::vector<std::string> OpenFileFailed(const char* code) {
  return {std::string("Could not open file (hr=0x") + code + ").\n",
          std::string("Cannot open reader: hr = 0x") + code + "\n",
          std::string("WMSyncReader failed (hr=0x") + code + ").\n"};
}

TEST_F(WmaImport, RefusesWhatItCannotDecode) {
  ASSERT_TRUE(test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:rate=10", "-t", "1", "-c:v",
                               "wmv2", "-f", "asf", File("video only.wma")}));
  std::mt19937 random(9);
  std::vector<uint8_t> noise(std::size_t{64} * 1024);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());
  test::WriteBytes(File("noise.wma"), noise);
  test::WriteBytes(File("empty.wma"), {});
  fs::create_directory(files_ / "folder.wma");

  const std::vector<Refusal> cases = {
      {"network stream",
       "http://127.0.0.1/a.wma",
       {"Wrong input file - streams are not supported : (hr=0x00000000).\n",
        "Cannot open reader: hr = 0x80070057\n", "WMSyncReader failed (hr=0x80070057).\n"}},
      {"video only",
       File("video only.wma"),
       {"Could not find an audio stream in the specified file (hr=0X8000FFFF)",
        "Could not get audio output (hr=0x8000ffff).\n", "Cannot open reader: hr = 0x8000ffff\n",
        "WMSyncReader failed (hr=0x8000ffff).\n"}},
      // FFmpeg's AVERROR_INVALIDDATA.
      {"random bytes", File("noise.wma"), OpenFileFailed("bebbb1b7")},
      {"empty file", File("empty.wma"), OpenFileFailed("bebbb1b7")},
      // Not a disk file: E_FAIL.
      {"folder", File("folder.wma"), OpenFileFailed("80004005")},
      // AVERROR(ENOENT).
      {"missing file", File("missing.wma"), OpenFileFailed("fffffffe")},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    auto doc = NewDocument(ui);
    EXPECT_FALSE(doc->LoadIntoSlot(0, c.path));
    EXPECT_EQ(ui.Texts(), c.messages);
    EXPECT_FALSE(doc->slot(0).HasData());
    EXPECT_TRUE(doc->slot(0).path.empty());
  }
}

TEST_F(WmaImport, ARateThatClashesWithALoadedChannelIsRefused) {
  const std::string at48 = Wma("48k.wma", 48000, 2);
  const std::string at44 = Wma("44k.wma", 44100, 2);
  FakeUi ui;
  auto doc = NewDocument(ui);
  ASSERT_TRUE(doc->LoadIntoSlot(0, at48));
  const uint32_t frames = doc->slot(0).frames;

  EXPECT_FALSE(doc->LoadIntoSlot(1, at44));
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{msg::kRateMismatch}));
  EXPECT_FALSE(doc->slot(1).HasData());
  EXPECT_EQ(doc->slot(0).frames, frames);
  EXPECT_EQ(doc->MixRate(), 48000u);
}

TEST_F(WmaImport, ATruncatedFileLoadsTheAudioItHolds) {
  const std::string whole = Wma("whole.wma", 44100, 2);
  auto bytes = test::ReadBytes(whole);
  bytes.resize(bytes.size() / 2);
  test::WriteBytes(File("half.wma"), bytes);

  FakeUi ui;
  auto doc = NewDocument(ui);
  ASSERT_TRUE(doc->LoadIntoSlot(0, whole));
  // The decoder's complaints about the cut packet stay off the console.
  ::testing::internal::CaptureStderr();
  const bool loaded = doc->LoadIntoSlot(1, File("half.wma"));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  ASSERT_TRUE(loaded);
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_GT(doc->slot(1).frames, 0u);
  EXPECT_LT(doc->slot(1).frames, doc->slot(0).frames);
  // What is there is the start of the same audio.
  const std::size_t bytesHeld = doc->slot(1).data.size();
  EXPECT_EQ(std::memcmp(doc->slot(0).data.data(), doc->slot(1).data.data(), bytesHeld / 2), 0);
}

TEST_F(WmaImport, DamagedPacketsBecomeSilenceAndTheAudioAfterThemKeepsItsPlace) {
  // Five seconds: about twenty packets, so that damage in the middle leaves audio on both sides.
  const int rate = 44100;
  const auto source = test::Tones(rate, 2, rate * 5);
  ASSERT_TRUE(test::MakeWma(File("clean.wav"), File("clean.wma"), rate, 2, source));
  const auto clean = test::ReadBytes(File("clean.wma"));
  FakeUi cleanUi;
  auto reference = NewDocument(cleanUi);
  ASSERT_TRUE(reference->LoadIntoSlot(0, File("clean.wma")));
  const std::vector<int16_t> expected = SamplesOf(reference->slot(0));

  // 300 flipped bits around the middle: some seeds lose whole packets, others break a packet
  // header so that the demuxer stops there.
  for (const unsigned seed : {1u, 2u, 3u, 4u}) {
    SCOPED_TRACE(seed);
    std::vector<uint8_t> damaged = clean;
    std::mt19937 random(seed);
    for (int i = 0; i < 300; ++i) {
      const std::size_t at = damaged.size() / 2 - 2000 + random() % 4000;
      damaged[at] ^= static_cast<uint8_t>(1u << (random() % 8));
    }
    test::WriteBytes(File("damaged.wma"), damaged);

    FakeUi ui;
    auto doc = NewDocument(ui);
    ASSERT_TRUE(doc->LoadIntoSlot(0, File("damaged.wma")));
    EXPECT_TRUE(ui.messages.empty());
    const std::vector<int16_t> got = SamplesOf(doc->slot(0));
    // Silence fills what was lost to within a millisecond.
    EXPECT_LE(std::labs(static_cast<long>(got.size()) - static_cast<long>(expected.size())),
              2 * rate / 1000)
        << got.size() / 2 << " frames, undamaged " << expected.size() / 2;
    // The last second is where it was: the same samples as the undamaged file's.
    const std::size_t second = 2 * static_cast<std::size_t>(rate);
    ASSERT_GT(got.size(), second);
    std::size_t same = 0;
    for (std::size_t i = 0; i < second; ++i) {
      const std::size_t g = got.size() - second + i;
      const std::size_t e = expected.size() - second + i;
      if (std::abs(got[g] - expected[e]) <= 2) ++same;
    }
    EXPECT_GT(same, second * 99 / 100);
  }
}

}  // namespace
}  // namespace velmora
