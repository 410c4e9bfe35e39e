// The streaming mix against the document's own mix, in pieces of any size, and an input that
// changes on disk while it is mixed.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "document/StreamingMix.h"
#include "document/VelmoraDoc.h"
#include "seams/AudioDecoder.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

class StreamedMix : public testing::Test {
 protected:
  void SetUp() override {
    // Loud enough together to clip; the second at half the rate, so that its frames are held.
    std::vector<int16_t> stereo;
    for (int f = 0; f < 5000; ++f) {
      stereo.push_back(static_cast<int16_t>(30000 * std::sin(f * 0.013)));
      stereo.push_back(static_cast<int16_t>(-26000 * std::sin(f * 0.007)));
    }
    std::vector<int16_t> mono(2600);
    for (int f = 0; f < 2600; ++f) mono[f] = static_cast<int16_t>(f * 53 % 60000 - 30000);
    test::WavSpec monoSpec;
    monoSpec.channels = 1;
    monoSpec.rate = 22050;
    // The same again in 8 bits, for an 8-bit mix.
    auto eightBits = [](const std::vector<int16_t>& samples) {
      std::vector<uint8_t> bytes(samples.size());
      for (std::size_t i = 0; i < samples.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(128 + samples[i] / 256);
      }
      return bytes;
    };
    const std::vector<uint8_t> stereo8 = eightBits(stereo);
    const std::vector<uint8_t> mono8 = eightBits(mono);
    test::WavSpec stereo8Spec;
    stereo8Spec.bits = 8;
    test::WavSpec mono8Spec = monoSpec;
    mono8Spec.bits = 8;
    inputs_[0] = {test::WriteWav(dir_, "stereo.wav", test::WavSpec{}, test::Pcm16(stereo)),
                  test::WriteWav(dir_, "mono.wav", monoSpec, test::Pcm16(mono))};
    inputs_[1] = {test::WriteWav(dir_, "stereo8.wav", stereo8Spec, stereo8),
                  test::WriteWav(dir_, "mono8.wav", mono8Spec, mono8)};
  }

  void Load(StreamingMix& mix, bool eightBit = false) {
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(mix.LoadChannel(i, inputs_[eightBit][i]));
  }

  test::TempDir dir_;
  std::array<std::vector<std::string>, 2> inputs_;  // 16-bit, 8-bit
  test::FakeUi ui_;
};

TEST_F(StreamedMix, PiecesOfAnySizeGiveTheDocumentsMix) {
  struct Case {
    uint32_t pieceFrames;
    uint32_t start;
    uint32_t first, count;  // frames written
    bool eightBit;
  };
  // The mix has 8219 frames: the stereo channel's 5000 after its 73 ms (3219 frames).
  const Case cases[] = {{1, 2345, 0, 8219, false},
                        {777, 2345, 0, 8219, false},
                        {777, 0, 100, 3000, false},
                        {777, 6000, 1000, 6500, false},
                        {4096, 8218, 0, 8219, false},
                        {1, 2345, 0, 8219, true},
                        {777, 6000, 1000, 6500, true},
                        // Pieces long enough to be mixed in two parts on two threads.
                        {65536, 2345, 0, 8219, false},
                        {65536, 6000, 1000, 6500, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("pieces of " + std::to_string(c.pieceFrames) + " from " + std::to_string(c.start) +
                 ", frames " + std::to_string(c.first) + " + " + std::to_string(c.count) +
                 (c.eightBit ? ", 8 bits" : ""));
    StreamingMix mix(ui_, nullptr);
    mix.SetPieceFrames(c.pieceFrames);
    Load(mix, c.eightBit);
    mix.SetOffset(0, 73);
    mix.SetFadeIn(1, {FadeCurve::Concave, 40});
    mix.SetFadeOut(kWholeMix, {FadeCurve::Linear, 30});
    mix.SetPosition(c.start);
    ASSERT_EQ(mix.Prepare(500, true), MixBuild::Built);
    const std::string output = dir_.File("streamed.wav");
    ASSERT_TRUE(mix.WriteMixFile(output, c.first, c.count, true).ok());

    CVelmoraDoc doc(ui_);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(doc.LoadIntoSlot(i, inputs_[c.eightBit][i]));
    doc.SetOffset(0, 73);
    doc.SetFadeIn(1, {FadeCurve::Concave, 40});
    doc.SetFadeOut(kWholeMix, {FadeCurve::Linear, 30});
    doc.SetPosition(c.start);
    ASSERT_EQ(doc.BuildMix(500, false), MixBuild::Built);
    ASSERT_EQ(mix.mixFrames(), doc.mixFrames());
    ASSERT_EQ(mix.MixBits(), c.eightBit ? 8 : 16);
    const std::string expected = dir_.File("document.wav");
    ASSERT_TRUE(doc.WriteMixFile(expected, c.first, c.count).ok());

    EXPECT_TRUE(ReadBytes(output) == ReadBytes(expected));
    ASSERT_FALSE(doc.corrections().empty()) << "the inputs are meant to clip";
    ASSERT_EQ(mix.corrections().size(), doc.corrections().size());
    for (std::size_t i = 0; i < doc.corrections().size(); ++i) {
      EXPECT_EQ(mix.corrections()[i].start, doc.corrections()[i].start);
      EXPECT_EQ(mix.corrections()[i].count, doc.corrections()[i].count);
    }
    EXPECT_EQ(mix.blockPeaks().ToBytes(), doc.blockPeaks().ToBytes());
  }
  EXPECT_TRUE(ui_.messages.empty());
}

// A decoder that gives one file's samples in one block.
class OneBlockDecoder : public AudioDecoder {
 public:
  explicit OneBlockDecoder(std::vector<uint8_t> pcm) : pcm_(std::move(pcm)) {}
  DecoderCode Open(const std::string&, std::unique_ptr<DecodedStream>& stream) override {
    stream = std::make_unique<Stream>(pcm_);
    return kDecoderOk;
  }

 private:
  class Stream : public DecodedStream {
   public:
    explicit Stream(const std::vector<uint8_t>& pcm) : pcm_(pcm) {}
    std::optional<PcmFormat> format() const override { return PcmFormat{2, 44100, 16}; }
    DecoderCode Next(PcmBlock& block) override {
      block = given_ ? PcmBlock{} : PcmBlock{pcm_.data(), pcm_.size()};
      given_ = true;
      return kDecoderOk;
    }

   private:
    const std::vector<uint8_t>& pcm_;
    bool given_ = false;
  };
  std::vector<uint8_t> pcm_;
};

TEST_F(StreamedMix, ACompressedInputIsDecodedWholeAndMixedAsTheDocumentMixesIt) {
  const std::vector<uint8_t> wav = ReadBytes(inputs_[0][0]);
  OneBlockDecoder decoder(std::vector<uint8_t>(wav.begin() + 44, wav.end()));
  StreamingMix mix(ui_, &decoder);
  mix.SetPieceFrames(1000);
  ASSERT_TRUE(mix.LoadChannel(0, inputs_[0][1]));
  ASSERT_TRUE(mix.LoadChannel(1, dir_.File("song.wma")));
  mix.SetOffset(1, 20);
  mix.SetPosition(3000);
  ASSERT_EQ(mix.Prepare(700, true), MixBuild::Built);
  const std::string output = dir_.File("streamed.wav");
  ASSERT_TRUE(mix.WriteMixFile(output, 0, mix.mixFrames(), true).ok());

  CVelmoraDoc doc(ui_);
  doc.SetAudioDecoder(&decoder);
  ASSERT_TRUE(doc.LoadIntoSlot(0, inputs_[0][1]));
  ASSERT_TRUE(doc.LoadIntoSlot(1, dir_.File("song.wma")));
  doc.SetOffset(1, 20);
  doc.SetPosition(3000);
  ASSERT_EQ(doc.BuildMix(700, false), MixBuild::Built);
  const std::string expected = dir_.File("document.wav");
  ASSERT_TRUE(doc.WriteMixFile(expected, 0, doc.mixFrames()).ok());

  EXPECT_TRUE(ReadBytes(output) == ReadBytes(expected));
  ASSERT_FALSE(doc.corrections().empty()) << "the inputs are meant to clip";
  EXPECT_EQ(mix.corrections().size(), doc.corrections().size());
  EXPECT_EQ(mix.blockPeaks().ToBytes(), doc.blockPeaks().ToBytes());
  EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(StreamedMix, AnInputCutShortWhileMixingNamesItAndKeepsTheOldOutput) {
  StreamingMix mix(ui_, nullptr);
  mix.SetPieceFrames(1000);
  Load(mix);
  ASSERT_EQ(mix.Prepare(4096, false), MixBuild::Built);
  fs::resize_file(inputs_[0][1], 44 + 2 * 1500);
  const std::string output = dir_.File("out.wav");
  test::WriteBytes(output, {1, 2, 3});

  const Result result = mix.WriteMixFile(output, 0, mix.mixFrames(), false);

  ASSERT_EQ(result.what(), FailureKind::ReadFailed);
  EXPECT_EQ(result.failure().where, inputs_[0][1]);
  EXPECT_EQ(ReadBytes(output), (std::vector<uint8_t>{1, 2, 3}));
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_.path())) ++files;
  EXPECT_EQ(files, 5) << "the four inputs and the old output, no temporary file";
}

TEST_F(StreamedMix, AnOutputThatCannotBeWrittenEndsTheMixAndItsReading) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  StreamingMix mix(ui_, nullptr);
  mix.SetPieceFrames(100);
  Load(mix);
  ASSERT_EQ(mix.Prepare(4096, false), MixBuild::Built);

  const Result result = mix.WriteMixFile("/dev/full", 0, mix.mixFrames(), false);

  ASSERT_EQ(result.what(), FailureKind::SaveFailed);
  EXPECT_EQ(result.failure().where, "/dev/full");
  EXPECT_FALSE(result.failure().reason.empty()) << "the system's reason";
}

}  // namespace
}  // namespace velmora
