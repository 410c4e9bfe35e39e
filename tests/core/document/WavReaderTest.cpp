// Reading WAV images: the reason and offset of every refusal, straight from bytes; and loading
// WAV files into channel slots: every check and message, frame counts, levels, titles.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "document/VelmoraDoc.h"
#include "document/WavReader.h"
#include "io/File.h"
#include "io/LittleEndian.h"
#include "support/FakeUi.h"
#include "support/Fifo.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

using test::FakeUi;
using test::TempDir;
using test::WavSpec;

bool Only44100(int32_t rate) {
  return rate == 44100;
}

struct ParseCase {
  const char* name;
  std::vector<uint8_t> bytes;
  FailureKind what;
  uint64_t offset;
};

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

std::vector<uint8_t> WavOf(void (*change)(WavSpec&), std::size_t dataBytes = 400) {
  WavSpec spec;
  change(spec);
  return test::MakeWav(spec, std::vector<uint8_t>(dataBytes));
}

TEST(WavReader, EveryRefusalNamesItsCheckAndWhereItLooked) {
  const std::vector<uint8_t> good = test::MakeWav(WavSpec{}, std::vector<uint8_t>(400));
  std::vector<uint8_t> extensibleFloat = WavOf([](WavSpec& s) {
    s.formatTag = kFormatExtensible;
    s.fmtSize = 40;
  });
  extensibleFloat[44] = 3;  // sub-format: IEEE float
  std::vector<uint8_t> listPastEnd = WavOf([](WavSpec& s) { s.chunksBeforeData = {"LIST"}; });
  listPastEnd[40] = 0xFF;  // the LIST chunk claims more bytes than follow
  listPastEnd[41] = 0xFF;
  const std::vector<ParseCase> cases = {
      {"empty", {}, FailureKind::TruncatedHeader, 0},
      {"cut in the header", Cut(good, 30), FailureKind::TruncatedHeader, 0},
      {"float", WavOf([](WavSpec& s) { s.formatTag = 3; }), FailureKind::NotPcm, 20},
      {"fmt of 14 bytes", WavOf([](WavSpec& s) { s.fmtSize = 14; }), FailureKind::ShortHeader, 16},
      {"extensible float", extensibleFloat, FailureKind::NotPcm, 44},
      {"extensible cut in its extension", Cut(extensibleFloat, 50), FailureKind::TruncatedHeader,
       36},
      // The fmt chunk is checked whole before its channel count is believed.
      {"fmt past the end",
       Cut(WavOf([](WavSpec& s) {
             s.fmtSize = 100;
             s.channels = 6;
           }),
           80),
       FailureKind::TruncatedHeader, 36},
      {"six channels", WavOf([](WavSpec& s) { s.channels = 6; }), FailureKind::UnsupportedFormat,
       22},
      {"24 bits", WavOf([](WavSpec& s) { s.bits = 24; }), FailureKind::UnsupportedFormat, 34},
      {"rate refused", WavOf([](WavSpec& s) { s.rate = 48000; }), FailureKind::RateMismatch, 24},
      {"no chunk after fmt", Cut(good, 36), FailureKind::NoDataChunk, 36},
      {"cut chunk header", Cut(good, 40), FailureKind::NoDataChunk, 36},
      {"chunk past the end", listPastEnd, FailureKind::NoDataChunk, 36},
      {"ends after a LIST chunk", Cut(WavOf([](WavSpec& s) { s.chunksBeforeData = {"LIST"}; }), 54),
       FailureKind::NoDataChunk, 54},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.name);
    WavFile file;
    const Result got = ReadWavBytes(c.bytes.data(), c.bytes.size(), Only44100, file);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.what(), c.what);
    EXPECT_EQ(got.failure().offset, c.offset);
    EXPECT_FALSE(file.samples.has());
  }
}

TEST(WavReader, LayoutFindsTheSamplesAndTrustsOnlyTheBytesThatAreThere) {
  WavSpec padded;
  padded.fmtSize = 18;
  padded.chunksBeforeData = {"LIST", "fact"};
  padded.fillerSize = 11;
  padded.declaredDataSize = 0xFFFFFFF0;
  const std::vector<uint8_t> bytes = test::MakeWav(padded, std::vector<uint8_t>(400, 9));
  MemorySource source(bytes.data(), bytes.size());
  WavLayout layout;
  ASSERT_TRUE(ParseWavLayout(source, Only44100, layout).ok());
  EXPECT_EQ(layout.dataOffset, 36u + 2 + 2 * (8 + 11) + 8);
  EXPECT_EQ(layout.dataBytes, 400u);
  EXPECT_EQ(layout.dataChunk.size, 0xFFFFFFF0u);
  EXPECT_EQ(layout.header.fmtSize, 16);
}

TEST(WavReader, OnlyRatesTheProgramCanPlayAreTaken) {
  const auto anyRate = [](int32_t) { return true; };
  struct Case {
    int32_t rate;
    bool taken;
  };
  // Mono 8-bit, so that even the largest rate writes a valid header.
  const std::vector<Case> cases = {
      {1, false},      {999, false},       {1000, true}, {44100, true},   {768000, true},
      {768001, false}, {536870912, false}, {0, false},   {-44100, false}, {INT32_MAX, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    WavSpec spec;
    spec.channels = 1;
    spec.bits = 8;
    spec.rate = c.rate;
    const std::vector<uint8_t> bytes = test::MakeWav(spec, std::vector<uint8_t>(400, 128));
    WavFile file;
    const Result got = ReadWavBytes(bytes.data(), bytes.size(), anyRate, file);
    if (c.taken) {
      EXPECT_TRUE(got.ok());
    } else {
      ASSERT_EQ(got.what(), FailureKind::UnsupportedFormat);
      EXPECT_EQ(got.failure().offset, 24u);
    }
  }
}

// Puts a zero pad byte after each of the first `count` chunks behind the fmt chunk, all of
// `size` bytes, as RIFF asks of a chunk of odd size.
std::vector<uint8_t> PadChunks(std::vector<uint8_t> bytes, int count, uint32_t size) {
  std::size_t at = RiffHeader::kBytes;
  for (int i = 0; i < count; ++i) {
    at += ChunkHeader::kBytes + size;
    bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(at), 0);
    at += 1;
  }
  le::Put32(&bytes[4], static_cast<uint32_t>(bytes.size() - 8));
  return bytes;
}

TEST(WavReader, ChunksOfOddSizeAreReadWithOrWithoutTheirPadByte) {
  const auto withChunks = [](std::vector<std::string> ids, uint32_t size) {
    WavSpec spec;
    spec.chunksBeforeData = std::move(ids);
    spec.fillerSize = size;
    return test::MakeWav(spec, std::vector<uint8_t>(400, 7));
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    uint64_t dataOffset;
  };
  const std::vector<Case> cases = {
      {"odd LIST, padded", PadChunks(withChunks({"LIST"}, 11), 1, 11), 36 + 8 + 12 + 8},
      {"odd LIST, unpadded", withChunks({"LIST"}, 11), 36 + 8 + 11 + 8},
      {"two odd chunks, padded", PadChunks(withChunks({"LIST", "fact"}, 3), 2, 3),
       36 + 2 * (8 + 4) + 8},
      {"two odd chunks, unpadded", withChunks({"LIST", "fact"}, 3), 36 + 2 * (8 + 3) + 8},
      {"even chunk", withChunks({"LIST"}, 10), 36 + 8 + 10 + 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemorySource source(c.bytes.data(), c.bytes.size());
    WavLayout layout;
    ASSERT_TRUE(ParseWavLayout(source, Only44100, layout).ok());
    EXPECT_EQ(layout.dataOffset, c.dataOffset);
    EXPECT_EQ(layout.dataBytes, 400u);
  }
}

// Memory that counts how often it is read.
class CountingSource : public ByteSource {
 public:
  explicit CountingSource(const std::vector<uint8_t>& bytes) : bytes_(bytes.data(), bytes.size()) {}
  uint64_t Size() const override { return bytes_.Size(); }
  std::size_t ReadAt(void* dest, std::size_t size, uint64_t offset) override {
    ++reads;
    return bytes_.ReadAt(dest, size, offset);
  }
  int reads = 0;

 private:
  MemorySource bytes_;
};

TEST(WavReader, ManyEmptyChunksCostAFewReadsNotOneEach) {
  WavSpec spec;
  spec.chunksBeforeData.assign(100000, "junk");
  spec.fillerSize = 0;
  const std::vector<uint8_t> bytes = test::MakeWav(spec, std::vector<uint8_t>(400, 3));
  CountingSource source(bytes);
  WavFile file;
  ASSERT_TRUE(ReadWav(source, Only44100, file).ok());
  EXPECT_EQ(file.frames, 100u);
  // 800 kB of chunk headers.
  EXPECT_LT(source.reads, 100);
}

// Bytes that claim to be longer than they are, as a file cut short while it is read. The bytes
// must outlive the source.
class ShrinkingSource : public ByteSource {
 public:
  explicit ShrinkingSource(const std::vector<uint8_t>& bytes)
      : bytes_(bytes.data(), bytes.size()) {}
  uint64_t Size() const override { return bytes_.Size() + 100; }
  std::size_t ReadAt(void* dest, std::size_t size, uint64_t offset) override {
    return bytes_.ReadAt(dest, size, offset);
  }

 private:
  MemorySource bytes_;
};

TEST(WavReader, SamplesThatCannotBeReadOrHeldAreRefused) {
  const std::vector<uint8_t> bytes = test::MakeWav(WavSpec{}, std::vector<uint8_t>(400));
  WavFile file;
  const std::vector<uint8_t> cut = Cut(bytes, 300);
  ShrinkingSource shrinking(cut);
  EXPECT_EQ(ReadWav(shrinking, Only44100, file).what(), FailureKind::ReadFailed);
  EXPECT_FALSE(file.samples.has());

  ByteBuffer::SetFailAboveForTesting(100);
  const Result noMemory = ReadWavBytes(bytes.data(), bytes.size(), Only44100, file);
  ByteBuffer::SetFailAboveForTesting(0);
  ASSERT_EQ(noMemory.what(), FailureKind::OutOfMemory);
  EXPECT_EQ(noMemory.failure().offset, 44u);

  const Result missing = ReadWavFile("/nonexistent/take.wav", Only44100, file);
  ASSERT_EQ(missing.what(), FailureKind::CannotOpen);
  EXPECT_EQ(missing.failure().where, "/nonexistent/take.wav");
  EXPECT_EQ(missing.failure().systemCode, ENOENT);
  EXPECT_EQ(missing.failure().reason, std::generic_category().message(ENOENT));
}

class LoadTest : public ::testing::Test {
 protected:
  LoadTest() { doc.OnNewDocument(); }
  ~LoadTest() override { ByteBuffer::SetFailAboveForTesting(0); }

  // Opens `path` through the Open command into the next free slot.
  void Open(const std::string& path) {
    ui.openChoices.push_back(path);
    doc.OpenFileCommand();
  }

  FakeUi ui;
  CVelmoraDoc doc{ui};
  TempDir dir;
};

std::vector<uint8_t> Bytes(std::size_t count, uint8_t value = 0) {
  return std::vector<uint8_t>(count, value);
}

struct RefusedCase {
  const char* name;
  WavSpec spec;
  const char* message;
};

TEST_F(LoadTest, RefusedFilesLeaveTheSlotEmptyWithTheirMessage) {
  WavSpec float32;
  float32.formatTag = 3;
  float32.bits = 32;
  WavSpec shortFmt;
  shortFmt.fmtSize = 14;
  WavSpec sixChannels;
  sixChannels.channels = 6;
  WavSpec bits24;
  bits24.bits = 24;
  WavSpec bits12;
  bits12.bits = 12;
  WavSpec oneHertz;
  oneHertz.rate = 1;
  const std::vector<RefusedCase> cases = {
      {"one-hertz.wav", oneHertz, msg::kUnsupportedFormat},
      {"float.wav", float32, msg::kNotPcm},
      {"short.wav", shortFmt, msg::kShortHeader},
      {"six.wav", sixChannels, msg::kUnsupportedFormat},
      {"b24.wav", bits24, msg::kUnsupportedFormat},
      {"b12.wav", bits12, msg::kUnsupportedFormat},
  };
  for (const RefusedCase& c : cases) {
    SCOPED_TRACE(c.name);
    ui.messages.clear();
    Open(test::WriteWav(dir, c.name, c.spec, Bytes(48)));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{c.message});
    EXPECT_FALSE(doc.slot(0).HasData());
    EXPECT_TRUE(doc.slot(0).path.empty());
    EXPECT_EQ(ui.waitDepth, 0);
  }
}

TEST_F(LoadTest, NameDecidesTheReaderWhateverItsCase) {
  const std::vector<uint8_t> wav = test::MakeWav(WavSpec{}, Bytes(40));
  struct Case {
    const char* name;
    bool loads;
  };
  const std::vector<Case> cases = {
      {"a.Wav", true}, {"b.WAV", true}, {"c.wav", true}, {"d.wave", false}, {"e.mp3", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    ui.messages.clear();
    test::WriteBytes(dir.File(c.name), wav);
    Open(dir.File(c.name));
    EXPECT_EQ(doc.slot(0).HasData(), c.loads);
    if (!c.loads) {
      EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kWrongType});
    }
  }
}

TEST_F(LoadTest, CompressedFileWithoutDecoderIsAReadFailure) {
  test::WriteBytes(dir.File("song.WMA"), Bytes(100, 7));
  Open(dir.File("song.WMA"));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kReadFailed});
  EXPECT_FALSE(doc.slot(0).HasData());
}

TEST_F(LoadTest, FramesAndHeaderOfAcceptedLayouts) {
  WavSpec stereo16;
  WavSpec mono8;
  mono8.channels = 1;
  mono8.bits = 8;
  WavSpec fmt18;
  fmt18.fmtSize = 18;
  WavSpec listChunk;
  listChunk.chunksBeforeData = {"LIST", "fact"};
  WavSpec oddChunk;
  oddChunk.chunksBeforeData = {"junk"};
  oddChunk.fillerSize = 11;  // an odd chunk is skipped by its size, without a pad byte
  WavSpec extensible;
  extensible.formatTag = kFormatExtensible;
  extensible.fmtSize = 40;
  struct Case {
    const char* name;
    WavSpec spec;
    std::size_t bytes;
    uint32_t frames;
  };
  const std::vector<Case> cases = {
      {"stereo16.wav", stereo16, 400, 100}, {"mono8.wav", mono8, 400, 400},
      {"fmt18.wav", fmt18, 400, 100},       {"list.wav", listChunk, 400, 100},
      {"odd.wav", oddChunk, 400, 100},      {"partial.wav", stereo16, 402, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    ui.messages.clear();
    Open(test::WriteWav(dir, c.name, c.spec, Bytes(c.bytes, c.spec.bits == 8 ? 128 : 0)));
    ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
    const ChannelSlot& slot = doc.slot(0);
    ASSERT_TRUE(slot.HasData());
    EXPECT_EQ(slot.frames, c.frames);
    EXPECT_EQ(slot.data.size(), c.bytes);
    EXPECT_EQ(slot.header.fmtSize, 16);
    EXPECT_EQ(slot.header.formatTag, kFormatPcm);
    EXPECT_EQ(slot.header.channels, c.spec.channels);
    EXPECT_EQ(slot.header.bitsPerSample, c.spec.bits);
    EXPECT_TRUE(slot.dataChunk.Is("data"));
  }
  // The extensible layout needs its PCM sub-format GUID after the 22-byte extension header.
  std::vector<uint8_t> ext = test::MakeWav(extensible, Bytes(400));
  const uint8_t pcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  std::copy(std::begin(pcmGuid), std::end(pcmGuid), ext.begin() + 20 + 24);
  test::WriteBytes(dir.File("ext.wav"), ext);
  doc.OnNewDocument();
  Open(dir.File("ext.wav"));
  ASSERT_TRUE(doc.slot(0).HasData());
  EXPECT_EQ(doc.slot(0).header.formatTag, kFormatPcm);
  EXPECT_EQ(doc.slot(0).header.fmtSize, 16);
  // Any other sub-format is not PCM.
  ext[20 + 24] = 3;
  test::WriteBytes(dir.File("extfloat.wav"), ext);
  doc.OnNewDocument();
  ui.messages.clear();
  Open(dir.File("extfloat.wav"));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kNotPcm});
}

TEST_F(LoadTest, BrokenFilesAreReadFailuresAndAllocateOnlyWhatTheFileHolds) {
  const std::vector<uint8_t> good = test::MakeWav(WavSpec{}, Bytes(400));
  WavSpec hugeDeclared;
  hugeDeclared.declaredDataSize = 0xFFFFFFF0;
  WavSpec runaway;
  runaway.chunksBeforeData = {"LIST"};
  runaway.fillerSize = 10;
  std::vector<uint8_t> chunkPastEnd = test::MakeWav(runaway, Bytes(8));
  chunkPastEnd[40] = 0xFF;  // the LIST chunk now claims more bytes than follow
  chunkPastEnd[41] = 0xFF;

  // Only the data that is really there may be allocated.
  ByteBuffer::SetFailAboveForTesting(1 << 20);
  test::WriteBytes(dir.File("huge.wav"), test::MakeWav(hugeDeclared, Bytes(400)));
  Open(dir.File("huge.wav"));
  ASSERT_TRUE(ui.messages.empty());
  EXPECT_EQ(doc.slot(0).frames, 100u);
  EXPECT_EQ(doc.slot(0).dataChunk.size, 400u);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<Case> cases = {
      {"empty.wav", {}},
      {"header-only.wav", std::vector<uint8_t>(good.begin(), good.begin() + 30)},
      {"no-data.wav", std::vector<uint8_t>(good.begin(), good.begin() + 36)},
      {"cut-chunk.wav", std::vector<uint8_t>(good.begin(), good.begin() + 40)},
      {"chunk-past-end.wav", chunkPastEnd},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    ui.messages.clear();
    test::WriteBytes(dir.File(c.name), c.bytes);
    Open(dir.File(c.name));
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kReadFailed});
    EXPECT_FALSE(doc.slot(0).HasData());
  }
  doc.OnNewDocument();
  ui.messages.clear();
  Open(dir.File("does-not-exist.wav"));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kReadFailed});
}

TEST_F(LoadTest, WhatCannotBeOpenedIsRefusedAtOnceAndTheSystemSaysWhy) {
  namespace fs = std::filesystem;
  fs::create_directory(dir.File("folder.wav"));
  fs::create_symlink(dir.File("b.wav"), dir.File("a.wav"));
  fs::create_symlink(dir.File("a.wav"), dir.File("b.wav"));
  const test::Fifo fifo(dir.File("pipe.wav"));
  ASSERT_TRUE(fifo.made());
  const std::string secret = test::WriteWav(dir, "secret.wav", WavSpec{}, Bytes(400));
  fs::permissions(secret, fs::perms::none);
  const bool root = ::geteuid() == 0;  // reads whatever the permissions say
  struct Case {
    std::string path;
    std::error_code reason;
  };
  std::vector<Case> cases = {
      {dir.File("missing.wav"), std::make_error_code(std::errc::no_such_file_or_directory)},
      {dir.File("folder.wav"), std::make_error_code(std::errc::is_a_directory)},
      {dir.File("a.wav"), std::make_error_code(std::errc::too_many_symbolic_link_levels)},
      {fifo.path(), NotARegularFileError()},
  };
  if (!root) cases.push_back({secret, std::make_error_code(std::errc::permission_denied)});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    doc.OnNewDocument();
    ui.messages.clear();
    ui.reasons.clear();
    fifo.ReturnsWithoutWaiting([&] {
      Open(c.path);
      return 0;
    });
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kReadFailed});
    EXPECT_EQ(ui.reasons, std::vector<std::string>{c.path + ": " + c.reason.message()});
    EXPECT_FALSE(doc.slot(0).HasData());
  }
}

TEST_F(LoadTest, LargeFilesArriveWholeFromTwoReadWorkers) {
  // Large sample blocks are read as two halves on two threads (also run under ThreadSanitizer);
  // every byte must land where it belongs.
  std::vector<uint8_t> data(std::size_t{12} << 20);
  uint32_t state = 12345;
  for (uint8_t& b : data) {
    state = state * 1664525u + 1013904223u;
    b = static_cast<uint8_t>(state >> 24);
  }
  WavSpec longer;
  longer.declaredDataSize = static_cast<int64_t>(data.size()) + 1000;  // cut short on disk
  Open(test::WriteWav(dir, "large.wav", longer, data));
  ASSERT_TRUE(ui.messages.empty());
  const ChannelSlot& slot = doc.slot(0);
  ASSERT_EQ(slot.data.size(), data.size());
  EXPECT_TRUE(std::equal(data.begin(), data.end(), slot.data.data()));
  EXPECT_EQ(slot.frames, data.size() / 4);
}

TEST_F(LoadTest, AllocationFailureIsReportedAndTheSlotStaysEmpty) {
  ByteBuffer::SetFailAboveForTesting(100);
  Open(test::WriteWav(dir, "big.wav", WavSpec{}, Bytes(400)));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kOutOfMemory});
  EXPECT_FALSE(doc.slot(0).HasData());
  EXPECT_EQ(ui.waitDepth, 0);
}

TEST_F(LoadTest, PathsOfAnyLengthAndCharactersLoad) {
  std::string deep = dir.path();
  for (int i = 0; i < 6; ++i) {
    deep += "/録音 フォルダ " + std::string(40, 'x');
    std::filesystem::create_directory(std::filesystem::u8path(deep));
  }
  const std::string path = deep + "/ギター テイク 1.wav";
  ASSERT_GT(path.size(), 300u);
  test::WriteBytes(path, test::MakeWav(WavSpec{}, Bytes(400)));
  Open(path);
  ASSERT_TRUE(doc.slot(0).HasData());
  EXPECT_EQ(doc.slot(0).path, path);
  EXPECT_EQ(doc.GetPathName(), path);
  EXPECT_EQ(doc.GetTitle(), msg::kUntitled);
}

TEST_F(LoadTest, LevelFollowsThePeak) {
  WavSpec mono8;
  mono8.channels = 1;
  mono8.bits = 8;
  struct Case {
    const char* name;
    WavSpec spec;
    std::vector<uint8_t> data;
    int32_t level;
  };
  const std::vector<Case> cases = {
      {"half.wav", WavSpec{}, test::Pcm16({0, 16384, -100, 5}), 150},
      {"silent.wav", WavSpec{}, test::Pcm16({0, 0, 0, 0}), 200},
      {"full-negative.wav", WavSpec{}, test::Pcm16({-32768, 0}), 100},
      {"full-positive.wav", WavSpec{}, test::Pcm16({32767, 0}), 101},  // 199 / 2 rounds down
      {"eight-bit-low.wav", mono8, {128, 0, 130}, 100},
      {"eight-bit-half.wav", mono8, {128, 192, 100}, 150},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    doc.OnNewDocument();
    Open(test::WriteWav(dir, c.name, c.spec, c.data));
    const ChannelSlot& slot = doc.slot(0);
    ASSERT_TRUE(slot.HasData());
    EXPECT_EQ(slot.autoLevel, c.level);
    EXPECT_EQ(slot.level, c.level);
    EXPECT_EQ(slot.balance, 10);
    EXPECT_EQ(slot.offset, 0);
    EXPECT_TRUE(slot.inUse);
    EXPECT_TRUE(slot.selected);
  }
}

TEST_F(LoadTest, LoadResetsTransportAndMarksAndStalesTheMix) {
  doc.SetStartMark(10);
  doc.SetEndMark(20);
  doc.SetPosition(15);
  doc.SetPaused(true);
  doc.SetTransportState(TransportState::Playing);
  Open(test::WriteWav(dir, "a.wav", WavSpec{}, Bytes(400)));
  EXPECT_EQ(doc.startMark(), 0u);
  EXPECT_EQ(doc.endMark(), 0u);
  EXPECT_EQ(doc.position(), 0u);
  EXPECT_FALSE(doc.paused());
  EXPECT_EQ(doc.transportState(), TransportState::Stopped);
  EXPECT_TRUE(doc.mixStale());
  EXPECT_EQ(doc.outHeader().riff.samplesPerSec, 44100);
  EXPECT_EQ(doc.outHeader().riff.bitsPerSample, 16);
  EXPECT_EQ(doc.outHeader().riff.channels, 2);
}

TEST_F(LoadTest, RateRuleAcrossChannels) {
  Open(test::WriteWav(dir, "a.wav", WavSpec{}, Bytes(400)));
  WavSpec rate48;
  rate48.rate = 48000;
  Open(test::WriteWav(dir, "b.wav", rate48, Bytes(400)));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kRateMismatch});
  EXPECT_FALSE(doc.slot(1).HasData());
  EXPECT_TRUE(doc.slot(1).path.empty());
  WavSpec rate22;
  rate22.rate = 22050;
  Open(test::WriteWav(dir, "c.wav", rate22, Bytes(400)));
  EXPECT_TRUE(doc.slot(1).HasData());
}

TEST_F(LoadTest, ModifiedFlagTitleAndTheFifthFile) {
  const std::string path = test::WriteWav(dir, "take.wav", WavSpec{}, Bytes(400));
  Open(path);
  EXPECT_FALSE(doc.IsModified()) << "the first file of a clean document leaves it clean";
  EXPECT_EQ(doc.GetTitle(), msg::kUntitled);
  EXPECT_EQ(doc.GetPathName(), path);
  Open(path);
  EXPECT_TRUE(doc.IsModified());
  Open(path);
  Open(path);
  for (const ChannelSlot& slot : doc.slots()) EXPECT_TRUE(slot.HasData());
  ASSERT_TRUE(ui.messages.empty());
  Open(path);
  EXPECT_EQ(ui.openRequests.size(), 5u) << "the dialog still shows";
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{msg::kNoEmptySlot});
  EXPECT_EQ(ui.openRequests[0].filter, "Velmora ﾌｧｲﾙ(*.wav, *.wma)|*.wav;*.wma||");
  EXPECT_TRUE(ui.openRequests[0].mustExist);
}

TEST_F(LoadTest, FailedLoadIntoTheSecondSlotStillMarksModified) {
  Open(test::WriteWav(dir, "a.wav", WavSpec{}, Bytes(400)));
  ASSERT_FALSE(doc.IsModified());
  Open(dir.File("missing.wav"));
  EXPECT_TRUE(doc.IsModified());
  EXPECT_TRUE(doc.slot(1).path.empty());
}

TEST_F(LoadTest, CancelledDialogChangesNothing) {
  doc.OpenFileCommand();
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_FALSE(doc.HasAnyChannel());
  EXPECT_FALSE(doc.IsModified());
}

}  // namespace
}  // namespace velmora
