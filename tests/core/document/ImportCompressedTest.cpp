// The compressed-audio import against a fake decoder: a channel imported from decoded PCM equals
// a WAV load of the same samples, and every refusal shows its chain of messages and leaves the
// slot empty.

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "document/VelmoraDoc.h"
#include "seams/AudioDecoder.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"
#include "support/SameChannel.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using test::FakeUi;

constexpr DecoderCode kInvalidData = static_cast<DecoderCode>(0xBEBBB1B7u);  // FFmpeg's

PcmFormat Pcm(int channels, int rate, int bits = 16) {
  return PcmFormat{channels, rate, bits};
}

// What a fake file decodes to and where its decoding fails. The decoder counts what it is asked.
struct FakeFile {
  std::optional<PcmFormat> format = Pcm(2, 44100);
  std::vector<std::vector<uint8_t>> blocks;
  DecoderCode openFailure = kDecoderOk;
  int failingBlock = 0;  // 1-based call of Next that fails with kInvalidData; 0 = none
};

class FakeDecoder : public AudioDecoder {
 public:
  DecoderCode Open(const std::string& path, std::unique_ptr<DecodedStream>& stream) override;

  FakeFile file;
  std::vector<std::string> opened;
  int streamsAlive = 0;
};

class FakeStream : public DecodedStream {
 public:
  explicit FakeStream(FakeDecoder& decoder) : decoder_(decoder) { ++decoder_.streamsAlive; }
  ~FakeStream() override { --decoder_.streamsAlive; }

  std::optional<PcmFormat> format() const override { return decoder_.file.format; }
  DecoderCode Next(PcmBlock& block) override {
    const FakeFile& file = decoder_.file;
    block = PcmBlock{};
    if (++calls_ == file.failingBlock) return kInvalidData;
    if (next_ == file.blocks.size()) return kDecoderOk;
    block.bytes = file.blocks[next_].data();
    block.length = file.blocks[next_].size();
    ++next_;
    return kDecoderOk;
  }

 private:
  FakeDecoder& decoder_;
  std::size_t next_ = 0;
  int calls_ = 0;
};

DecoderCode FakeDecoder::Open(const std::string& path, std::unique_ptr<DecodedStream>& stream) {
  opened.push_back(path);
  if (DecoderFailed(file.openFailure)) return file.openFailure;
  stream = std::make_unique<FakeStream>(*this);
  return kDecoderOk;
}

// Sample bytes with a known peak: 16-bit 0x8000 (full scale) or 8-bit 192 (half scale) at one
// frame, a ramp elsewhere.
std::vector<uint8_t> Samples(std::size_t bytes, int bits) {
  std::vector<uint8_t> out(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    out[i] = static_cast<uint8_t>(bits == 8 ? 128 + (i % 32) : (i % 2 != 0 ? i % 16 : i));
  }
  if (bytes >= 4) {
    if (bits == 8) {
      out[bytes / 2] = 192;
    } else {
      out[bytes / 2 & ~std::size_t{1}] = 0x00;
      out[(bytes / 2 & ~std::size_t{1}) + 1] = 0x80;
    }
  }
  return out;
}

struct Equivalence {
  const char* name;
  PcmFormat format;
  std::size_t frames;
  std::size_t framesPerBlock;
  std::size_t strayBytes;  // a partial frame after every block's whole frames; dropped
};

TEST(ImportCompressed, ImportedPcmEqualsAWavLoadOfTheSameSamples) {
  const std::vector<Equivalence> cases = {
      {"8-bit mono", Pcm(1, 11025, 8), 3000, 500, 0},
      {"8-bit stereo with stray bytes", Pcm(2, 22050, 8), 2001, 333, 1},
      {"16-bit mono with stray bytes", Pcm(1, 48000, 16), 4000, 1024, 1},
      // Enough blocks to grow the buffer twice past its first megabyte.
      {"16-bit stereo, long", Pcm(2, 44100, 16), 700000, 2048, 3},
      {"no samples at all", Pcm(2, 44100, 16), 0, 1, 0},
  };
  test::TempDir dir;
  for (const Equivalence& c : cases) {
    SCOPED_TRACE(c.name);
    const std::size_t frameBytes = c.format.channels * c.format.bitsPerSample / 8;
    const std::vector<uint8_t> pcm = Samples(c.frames * frameBytes, c.format.bitsPerSample);

    FakeUi ui;
    CVelmoraDoc imported(ui);
    FakeDecoder decoder;
    imported.SetAudioDecoder(&decoder);
    decoder.file.format = c.format;
    for (std::size_t at = 0; at < pcm.size(); at += c.framesPerBlock * frameBytes) {
      const std::size_t end = std::min(pcm.size(), at + c.framesPerBlock * frameBytes);
      decoder.file.blocks.emplace_back(pcm.begin() + at, pcm.begin() + end);
      decoder.file.blocks.back().insert(decoder.file.blocks.back().end(), c.strayBytes, 0x7F);
    }
    ASSERT_TRUE(imported.LoadIntoSlot(0, "/music/Take.WMA"));

    test::WavSpec spec;
    spec.channels = c.format.channels;
    spec.rate = c.format.samplesPerSec;
    spec.bits = c.format.bitsPerSample;
    CVelmoraDoc loaded(ui);
    ASSERT_TRUE(loaded.LoadIntoSlot(0, test::WriteWav(dir, "take.wav", spec, pcm)));

    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.waitDepth, 0);
    test::ExpectSameChannel(imported.slot(0), loaded.slot(0));
    EXPECT_EQ(imported.slot(0).path, "/music/Take.WMA");
    EXPECT_EQ(imported.MixRate(), loaded.MixRate());
    EXPECT_EQ(imported.MixBits(), loaded.MixBits());
    EXPECT_EQ(decoder.opened, std::vector<std::string>{"/music/Take.WMA"});
    EXPECT_EQ(decoder.streamsAlive, 0);
  }
}

std::string Hex8(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", code);
  return text;
}

struct Refusal {
  const char* name;
  std::string path;
  FakeFile file;
  std::vector<std::string> messages;
  std::size_t memoryLimit = 0;  // allocations above this many bytes fail; 0 = none
  bool withDecoder = true;
  bool decoderAsked = true;
  std::vector<std::string> reasons = {};  // the system's, after the messages
};

// Slot 0 holds a 48000 Hz channel; the import into slot 1 stops at one step. The step's own
// texts come first, then whether opening or reading failed, then the general failure; the slot
// stays empty and the file is closed.
TEST(ImportCompressed, EveryRefusalShowsItsStepsMessagesInOrder) {
  const std::string bad = Hex8(0xBEBBB1B7u);
  const auto opening = [](const std::string& code) {
    return std::vector<std::string>{"Cannot open reader: hr = 0x" + code + "\n",
                                    "WMSyncReader failed (hr=0x" + code + ").\n"};
  };
  const auto reading = [](const std::string& code) {
    return std::vector<std::string>{"ReadSamples failed: hr = 0x" + code + "\n",
                                    "WMSyncReader failed (hr=0x" + code + ").\n"};
  };
  const auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  FakeFile good;
  good.format = Pcm(2, 48000);
  good.blocks = {Samples(400, 16), Samples(400, 16), Samples(400, 16)};
  const auto file = [&good](auto change) {
    FakeFile changed = good;
    change(changed);
    return changed;
  };
  const std::string wma = "/music/b.wma";
  const std::vector<std::string> streamRefused = with(
      {"Wrong input file - streams are not supported : (hr=0x00000000).\n"}, opening("80070057"));

  const std::vector<Refusal> cases = {
      // Refused before the decoder is asked.
      {"network stream", "http://example.invalid/a.wma", good, streamRefused, 0, true, false},
      {"network stream in any case", "HtTpS://example.invalid/b.WMA", good, streamRefused, 0, true,
       false},
      {"file the decoder cannot open", wma, file([](FakeFile& f) { f.openFailure = kInvalidData; }),
       with({"Could not open file (hr=0x" + bad + ").\n"}, opening(bad))},
      {"not a disk file",
       wma,
       file([](FakeFile& f) { f.openFailure = kCodeNotADiskFile; }),
       with({"Could not open file (hr=0x80004005).\n"}, opening("80004005")),
       0,
       true,
       true,
       {wma + ": not a regular file"}},
      // The system's error number, as FFmpeg passes it on.
      {"missing file",
       wma,
       file([](FakeFile& f) { f.openFailure = -ENOENT; }),
       with({"Could not open file (hr=0xfffffffe).\n"}, opening("fffffffe")),
       0,
       true,
       true,
       {wma + ": " + std::generic_category().message(ENOENT)}},
      {"no audio stream", wma, file([](FakeFile& f) { f.format.reset(); }),
       with({"Could not find an audio stream in the specified file (hr=0X8000FFFF)",
             "Could not get audio output (hr=0x8000ffff).\n"},
            opening("8000ffff"))},
      {"first block undecodable", wma, file([](FakeFile& f) { f.failingBlock = 1; }),
       with({"GetNextSample() failed : (hr=0x" + bad + ").\n"}, reading(bad))},
      {"third block undecodable", wma, file([](FakeFile& f) { f.failingBlock = 3; }),
       with({"GetNextSample() failed : (hr=0x" + bad + ").\n"}, reading(bad))},
      {"a format without whole frames", wma, file([](FakeFile& f) { f.format = Pcm(0, 48000); }),
       reading("8000ffff")},
      {"no memory for the samples", wma,
       file([](FakeFile& f) { f.blocks.assign(100, Samples(8192, 16)); }), reading("8007000e"),
       std::size_t{512} * 1024},
      {"more than two channels",
       wma,
       file([](FakeFile& f) { f.format = Pcm(6, 48000); }),
       {msg::kUnsupportedFormat}},
      {"24 bits",
       wma,
       file([](FakeFile& f) { f.format = Pcm(2, 48000, 24); }),
       {msg::kUnsupportedFormat}},
      // A multiple of 48000 whose bytes per second would not fit their field.
      {"a rate above any the program plays",
       wma,
       file([](FakeFile& f) { f.format = Pcm(2, 600000000); }),
       {msg::kUnsupportedFormat}},
      {"a rate below any the program plays",
       wma,
       file([](FakeFile& f) { f.format = Pcm(2, 1); }),
       {msg::kUnsupportedFormat}},
      {"rate clash with the loaded channel",
       wma,
       file([](FakeFile& f) { f.format = Pcm(2, 44100); }),
       {msg::kRateMismatch}},
      {"no decoder in the program", wma, good, {msg::kReadFailed}, 0, false, false},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi ui;
    CVelmoraDoc doc(ui);
    FakeDecoder decoder;
    decoder.file = c.file;
    doc.SetAudioDecoder(c.withDecoder ? &decoder : nullptr);
    ChannelSlot& loaded = test::DocumentAccess::slot(doc, 0);
    ASSERT_TRUE(loaded.data.Allocate(400));
    std::memset(loaded.data.data(), 0, 400);
    FillCanonical(loaded.header, loaded.dataChunk, 2, 48000, 16, 100);
    loaded.frames = 100;

    ByteBuffer::SetFailAboveForTesting(c.memoryLimit);
    const bool imported = doc.LoadIntoSlot(1, c.path);
    ByteBuffer::SetFailAboveForTesting(0);

    EXPECT_FALSE(imported);
    EXPECT_EQ(ui.Texts(), c.messages);
    EXPECT_EQ(ui.reasons, c.reasons);
    for (const test::ShownMessage& shown : ui.messages) EXPECT_EQ(shown.icon, MessageIcon::Stop);
    const ChannelSlot& slot = doc.slot(1);
    EXPECT_FALSE(slot.HasData());
    EXPECT_EQ(slot.frames, 0u);
    EXPECT_EQ(slot.inUse, 0);
    EXPECT_TRUE(slot.path.empty());
    EXPECT_EQ(doc.slot(0).frames, 100u);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_EQ(decoder.streamsAlive, 0);
    EXPECT_EQ(decoder.opened.size(), c.decoderAsked ? 1u : 0u);
  }
}

}  // namespace
}  // namespace velmora
