// The compressed-audio import against a scripted decoder: slot state after a good import, and
// the messages, codes and clean-up of every refusal.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "document/CReader.h"
#include "document/VelmoraDoc.h"
#include "seams/MediaDecoder.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using test::FakeUi;

constexpr MediaResult kInvalidData = static_cast<MediaResult>(0xBEBBB1B7u);  // FFmpeg's

MediaFormat Pcm(int channels, int rate, int bits = 16) {
  MediaFormat format;
  format.channels = static_cast<int16_t>(channels);
  format.samplesPerSec = rate;
  format.bitsPerSample = static_cast<int16_t>(bits);
  format.blockAlign = static_cast<int16_t>(channels * bits / 8);
  format.avgBytesPerSec = format.blockAlign * rate;
  return format;
}

// What a scripted file holds and how its reader misbehaves. Every call is logged.
struct Script {
  std::vector<MediaType> streams{MediaType::Audio};
  std::vector<MediaOutput> outputs{{MediaType::Audio, Pcm(2, 44100)}};
  std::vector<std::vector<uint8_t>> chunks;
  // Call name -> (1-based call on which it fails, code).
  std::map<std::string, std::pair<int, MediaResult>> failures;
  MediaResult createFailure = kMediaOk;

  std::vector<std::string> calls;
  std::map<std::string, int> callCounts;
  int readersCreated = 0;
  int readersAlive = 0;
  bool open = false;

  MediaResult Call(const std::string& name, const std::string& detail = "") {
    calls.push_back(detail.empty() ? name : name + " " + detail);
    const int count = ++callCounts[name];
    const auto failure = failures.find(name);
    if (failure != failures.end() && failure->second.first == count) return failure->second.second;
    return kMediaOk;
  }
};

class ScriptedReader : public MediaReader {
 public:
  explicit ScriptedReader(Script& script) : s_(script) { ++s_.readersAlive; }
  ~ScriptedReader() override { --s_.readersAlive; }

  MediaResult Open(const std::string& path) override {
    const MediaResult result = s_.Call("Open", path);
    s_.open = !MediaFailed(result);
    return result;
  }
  MediaResult GetStreamCount(uint32_t& count) override {
    count = static_cast<uint32_t>(s_.streams.size());
    return s_.Call("GetStreamCount");
  }
  MediaResult GetStreamNumber(uint32_t index, uint16_t& number) override {
    number = static_cast<uint16_t>(index + 1);
    return s_.Call("GetStreamNumber");
  }
  MediaResult GetStreamType(uint32_t index, MediaType& type) override {
    type = s_.streams[index];
    return s_.Call("GetStreamType");
  }
  MediaResult GetOutputCount(uint32_t& count) override {
    count = static_cast<uint32_t>(s_.outputs.size());
    return s_.Call("GetOutputCount");
  }
  MediaResult GetOutputMediaType(uint32_t output, MediaOutput& out) override {
    out = s_.outputs[output];
    return s_.Call("GetOutputMediaType");
  }
  MediaResult SetStreamSelected(uint16_t stream, bool selected) override {
    return s_.Call("SetStreamSelected", std::to_string(stream) + (selected ? " on" : " off"));
  }
  MediaResult SetReadStreamSamples(uint16_t stream, bool compressed) override {
    return s_.Call("SetReadStreamSamples",
                   std::to_string(stream) + " " + std::to_string(compressed));
  }
  MediaResult SetRangeByFrame(uint16_t stream, uint64_t first, uint64_t count) override {
    return s_.Call("SetRangeByFrame", std::to_string(stream) + " " + std::to_string(first) + " " +
                                          std::to_string(count));
  }
  MediaResult SetRange(uint64_t start, uint64_t duration) override {
    return s_.Call("SetRange", std::to_string(start) + " " + std::to_string(duration));
  }
  MediaResult GetNextSample(MediaSample& sample) override {
    const MediaResult result = s_.Call("GetNextSample");
    if (MediaFailed(result)) return result;
    if (next_ == s_.chunks.size()) return kNoMoreSamples;
    sample.bytes = s_.chunks[next_].data();
    sample.length = s_.chunks[next_].size();
    ++next_;
    return kMediaOk;
  }
  MediaResult Close() override {
    const MediaResult result = s_.Call("Close");
    if (!MediaFailed(result)) s_.open = false;
    return result;
  }

 private:
  Script& s_;
  std::size_t next_ = 0;
};

class ScriptedDecoder : public MediaDecoder {
 public:
  MediaResult CreateReader(std::unique_ptr<MediaReader>& reader) override {
    if (MediaFailed(script.createFailure)) return script.createFailure;
    ++script.readersCreated;
    reader = std::make_unique<ScriptedReader>(script);
    return kMediaOk;
  }
  Script script;
};

std::vector<uint8_t> Pattern(std::size_t bytes, uint8_t seed) {
  std::vector<uint8_t> out(bytes);
  for (std::size_t i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(seed + i * 7);
  return out;
}

class ImportCompressed : public ::testing::Test {
 protected:
  void SetUp() override { doc.SetMediaDecoder(&decoder); }
  bool Load(const std::string& path = "/music/take one.wma", int index = 0) {
    return doc.LoadIntoSlot(index, path);
  }
  void ExpectSlotEmpty(int index) {
    const ChannelSlot& slot = doc.slots[index];
    EXPECT_FALSE(slot.HasData());
    EXPECT_EQ(slot.frames, 0u);
    EXPECT_FALSE(slot.inUse);
    EXPECT_FALSE(slot.selected);
    EXPECT_TRUE(slot.path.empty());
  }

  FakeUi ui;
  CVelmoraDoc doc{ui};
  ScriptedDecoder decoder;
  Script& script = decoder.script;
};

TEST_F(ImportCompressed, FillsTheSlotLikeAWavLoad) {
  // Two audio streams: the later one is selected, while the first audio output is decoded.
  script.streams = {MediaType::Audio, MediaType::Video, MediaType::Audio};
  script.outputs = {{MediaType::Video, MediaFormat{}},
                    {MediaType::Audio, Pcm(2, 44100)},
                    {MediaType::Audio, Pcm(1, 22050)}};
  // Full-scale sample 0x8000 somewhere in the middle: autoLevel 100.
  script.chunks = {{1, 0, 2, 0, 3, 0, 4, 0}, {0, 0x80, 0, 0}, {5, 0, 6, 0}};

  ASSERT_TRUE(Load("/music/Take.WMA"));

  EXPECT_TRUE(ui.messages.empty());
  const ChannelSlot& slot = doc.slots[0];
  EXPECT_EQ(slot.frames, 4u);
  ASSERT_EQ(slot.data.size(), 16u);
  const uint8_t expected[16] = {1, 0, 2, 0, 3, 0, 4, 0, 0, 0x80, 0, 0, 5, 0, 6, 0};
  EXPECT_EQ(std::memcmp(slot.data.data(), expected, 16), 0);
  EXPECT_EQ(slot.header.formatTag, 1);
  EXPECT_EQ(slot.header.channels, 2);
  EXPECT_EQ(slot.header.samplesPerSec, 44100);
  EXPECT_EQ(slot.header.bitsPerSample, 16);
  EXPECT_EQ(slot.header.blockAlign, 4);
  EXPECT_EQ(slot.header.avgBytesPerSec, 176400);
  EXPECT_EQ(slot.header.fmtSize, 16);
  EXPECT_EQ(std::string(slot.header.riffId.data(), 4), "RIFF");
  EXPECT_EQ(std::string(slot.header.waveId.data(), 4), "WAVE");
  EXPECT_EQ(std::string(slot.header.fmtId.data(), 4), "fmt ");
  EXPECT_EQ(slot.dataChunk.size, 16u);
  EXPECT_EQ(slot.autoLevel, 100);
  EXPECT_EQ(slot.level, 100);
  EXPECT_TRUE(slot.inUse);
  EXPECT_TRUE(slot.selected);
  EXPECT_EQ(slot.path, "/music/Take.WMA");
  EXPECT_EQ(doc.MixRate(), 44100u);
  EXPECT_EQ(ui.waitDepth, 0);

  const auto first = std::find(script.calls.begin(), script.calls.end(), "SetStreamSelected 3 on");
  ASSERT_LE(first + 5, script.calls.end());
  const std::vector<std::string> selection(first, first + 5);
  EXPECT_EQ(selection, (std::vector<std::string>{
                           "SetStreamSelected 3 on", "SetReadStreamSamples 3 0",
                           "SetStreamSelected 2 off", "SetReadStreamSamples 2 0", "SetRange 0 0"}))
      << ::testing::PrintToString(script.calls);
  EXPECT_EQ(script.calls.front(), "Open /music/Take.WMA");
  EXPECT_EQ(script.calls.back(), "Close");
  EXPECT_EQ(script.readersAlive, 0);
}

TEST_F(ImportCompressed, CollectsLongStreamsWholeAndDropsPartialFrames) {
  script.outputs = {{MediaType::Audio, Pcm(2, 48000)}};
  std::vector<uint8_t> expected;
  // Enough 8 KiB blocks to make the buffer grow twice, then one with a stray half frame.
  for (int i = 0; i < 400; ++i) {
    script.chunks.push_back(Pattern(8192, static_cast<uint8_t>(i)));
    expected.insert(expected.end(), script.chunks.back().begin(), script.chunks.back().end());
  }
  script.chunks.push_back({9, 9, 9, 9, 7, 7});
  expected.insert(expected.end(), {9, 9, 9, 9});

  ASSERT_TRUE(Load());
  const ChannelSlot& slot = doc.slots[0];
  EXPECT_EQ(slot.frames, expected.size() / 4);
  ASSERT_EQ(slot.data.size(), expected.size());
  EXPECT_EQ(std::memcmp(slot.data.data(), expected.data(), expected.size()), 0);
}

TEST_F(ImportCompressed, AFileWithoutSamplesIsASilentEmptyChannel) {
  script.outputs = {{MediaType::Audio, Pcm(1, 22050)}};
  ASSERT_TRUE(Load());
  EXPECT_TRUE(doc.slots[0].HasData());
  EXPECT_EQ(doc.slots[0].frames, 0u);
  EXPECT_EQ(doc.slots[0].autoLevel, 200);
}

std::string Hex8(uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", code);
  return text;
}

struct Refusal {
  const char* name;
  std::map<std::string, std::pair<int, MediaResult>> failures;  // as in Script
  std::vector<std::string> messages;
};

// The reader fails at one step: the step's own text, then the general texts, and the slot stays
// empty with the reader closed.
TEST_F(ImportCompressed, EveryFailingStepShowsItsMessagesInOrder) {
  const std::string bad = Hex8(0xBEBBB1B7u);
  const std::vector<std::string> openTail = {"Cannot open reader: hr = 0x" + bad + "\n",
                                             "WMSyncReader failed (hr=0x" + bad + ").\n"};
  const std::vector<std::string> readTail = {"ReadSamples failed: hr = 0x" + bad + "\n",
                                             "WMSyncReader failed (hr=0x" + bad + ").\n"};
  const auto with = [](std::vector<std::string> head, const std::vector<std::string>& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const std::vector<Refusal> cases = {
      {"open",
       {{"Open", {1, kInvalidData}}},
       with({"Could not open file (hr=0x" + bad + ").\n"}, openTail)},
      {"stream count",
       {{"GetStreamCount", {1, kInvalidData}}},
       with({"GetStreamCount on IWMProfile failed (hr=0x" + bad + ").\n",
             "Could not stream numbers (hr=0x" + bad + ").\n"},
            openTail)},
      {"second stream number",
       {{"GetStreamNumber", {2, kInvalidData}}},
       with({"Could not get stream number from IWMStreamConfig 1 of 2 (hr=0x" + bad + ").\n",
             "Could not stream numbers (hr=0x" + bad + ").\n"},
            openTail)},
      {"stream type",
       {{"GetStreamType", {1, kInvalidData}}},
       with(
           {"Could not get stream type of stream 0 of 2 from IWMStreamConfig (hr=0x" + bad + ").\n",
            "Could not stream numbers (hr=0x" + bad + ").\n"},
           openTail)},
      {"output count",
       {{"GetOutputCount", {1, kInvalidData}}},
       with({"Could not get output count (hr=0XBEBBB1B7)",
             "Could not get audio output (hr=0x" + bad + ").\n"},
            openTail)},
      {"media type",
       {{"GetOutputMediaType", {1, kInvalidData}}},
       with({"Could not get media type (hr=0XBEBBB1B7)",
             "Could not get audio output (hr=0x" + bad + ").\n"},
            openTail)},
      {"select",
       {{"SetStreamSelected", {2, kInvalidData}}},
       with({"SetStreamsSelected (hr=0x" + bad + ").\n"}, readTail)},
      {"read stream samples",
       {{"SetReadStreamSamples", {1, kInvalidData}}},
       with({"SetReadStreamSamples (hr=0x" + bad + ").\n"}, readTail)},
      {"range",
       {{"SetRange", {1, kInvalidData}}},
       with({"SetRange (hr=0x" + bad + ").\n"}, readTail)},
      {"third sample",
       {{"GetNextSample", {3, kInvalidData}}},
       with({"GetNextSample() failed : (hr=0x" + bad + ").\n"}, readTail)},
      {"close after a failure stays silent",
       {{"GetOutputMediaType", {1, kInvalidData}}, {"Close", {1, kInvalidData}}},
       with({"Could not get media type (hr=0XBEBBB1B7)",
             "Could not get audio output (hr=0x" + bad + ").\n"},
            openTail)},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi caseUi;
    CVelmoraDoc caseDoc(caseUi);
    ScriptedDecoder caseDecoder;
    caseDoc.SetMediaDecoder(&caseDecoder);
    Script& s = caseDecoder.script;
    s.streams = {MediaType::Audio, MediaType::Video};
    s.chunks = {Pattern(400, 1), Pattern(400, 2), Pattern(400, 3)};
    s.failures = c.failures;

    EXPECT_FALSE(caseDoc.LoadIntoSlot(0, "/music/a.wma"));
    EXPECT_EQ(caseUi.Texts(), c.messages);
    for (const test::ShownMessage& shown : caseUi.messages) {
      EXPECT_EQ(shown.icon, MessageIcon::Stop);
    }
    EXPECT_FALSE(caseDoc.slots[0].HasData());
    EXPECT_FALSE(caseDoc.slots[0].inUse);
    EXPECT_TRUE(caseDoc.slots[0].path.empty());
    EXPECT_EQ(s.readersAlive, 0);
    EXPECT_EQ(caseUi.waitDepth, 0);
  }
}

TEST_F(ImportCompressed, ANetworkStreamIsRefusedBeforeTheDecoderIsAsked) {
  for (const char* path : {"http://example.invalid/a.wma", "HtTpS://example.invalid/b.WMA"}) {
    SCOPED_TRACE(path);
    ui.messages.clear();
    EXPECT_FALSE(Load(path));
    EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                              "Wrong input file - streams are not supported : (hr=0x00000000).\n",
                              "Cannot open reader: hr = 0x80070057\n",
                              "WMSyncReader failed (hr=0x80070057).\n"}));
    ExpectSlotEmpty(0);
  }
  EXPECT_EQ(script.readersCreated, 0);
}

TEST_F(ImportCompressed, AFileWithoutAudioNamesTheMissingStream) {
  script.streams = {MediaType::Video};
  script.outputs = {{MediaType::Video, MediaFormat{}}};
  EXPECT_FALSE(Load());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{
                            "Could not find an audio stream in the specified file (hr=0X8000FFFF)",
                            "Could not get audio output (hr=0x8000ffff).\n",
                            "Cannot open reader: hr = 0x8000ffff\n",
                            "WMSyncReader failed (hr=0x8000ffff).\n"}));
  ExpectSlotEmpty(0);
}

TEST_F(ImportCompressed, AReaderThatCannotBeCreatedOrClosed) {
  script.createFailure = kEOutOfMemory;
  EXPECT_FALSE(Load());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Could not create reader (hr=0x8007000e).\n",
                                                  "Cannot open reader: hr = 0x8007000e\n",
                                                  "WMSyncReader failed (hr=0x8007000e).\n"}));

  ui.messages.clear();
  script.createFailure = kMediaOk;
  script.chunks = {Pattern(40, 1)};
  script.failures["Close"] = {1, kInvalidData};
  EXPECT_FALSE(Load());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Close failed: hr = 0xbebbb1b7\n"}));
  ExpectSlotEmpty(0);
  EXPECT_EQ(script.readersAlive, 0);
}

TEST_F(ImportCompressed, OutOfMemoryWhileCollectingIsReported) {
  struct Limit {
    Limit() { ByteBuffer::SetFailAboveForTesting(std::size_t{512} * 1024); }
    ~Limit() { ByteBuffer::SetFailAboveForTesting(0); }
  } limit;
  for (int i = 0; i < 100; ++i) script.chunks.push_back(Pattern(8192, 0));
  EXPECT_FALSE(Load());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"ReadSamples failed: hr = 0x8007000e\n",
                                                  "WMSyncReader failed (hr=0x8007000e).\n"}));
  ExpectSlotEmpty(0);
}

struct FormatRefusal {
  const char* name;
  MediaFormat format;
  std::vector<std::string> messages;
};

TEST_F(ImportCompressed, FormatsTheDocumentCannotTakeAreRefusedAfterDecoding) {
  const std::vector<FormatRefusal> cases = {
      {"rate clash with the loaded 48000 Hz channel", Pcm(2, 44100), {msg::kRateMismatch}},
      {"more than two channels", Pcm(6, 48000), {msg::kUnsupportedFormat}},
      {"24 bits", Pcm(2, 48000, 24), {msg::kUnsupportedFormat}},
      {"no channels",
       Pcm(0, 48000),
       {"ReadSamples failed: hr = 0x8000ffff\n", "WMSyncReader failed (hr=0x8000ffff).\n"}},
  };
  for (const FormatRefusal& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUi caseUi;
    CVelmoraDoc caseDoc(caseUi);
    ScriptedDecoder caseDecoder;
    caseDoc.SetMediaDecoder(&caseDecoder);
    test::PutSilence(caseDoc, 0, {48000, 2, 16}, 100);
    caseDecoder.script.outputs = {{MediaType::Audio, c.format}};
    caseDecoder.script.chunks = {Pattern(48, 1)};

    EXPECT_FALSE(caseDoc.LoadIntoSlot(1, "/music/b.wma"));
    EXPECT_EQ(caseUi.Texts(), c.messages);
    EXPECT_FALSE(caseDoc.slots[1].HasData());
    EXPECT_TRUE(caseDoc.slots[1].path.empty());
    EXPECT_EQ(caseDoc.slots[0].frames, 100u);
    EXPECT_EQ(caseDecoder.script.readersAlive, 0);
  }
}

TEST_F(ImportCompressed, WithoutADecoderTheFileCannotBeRead) {
  doc.SetMediaDecoder(nullptr);
  EXPECT_FALSE(Load());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{msg::kReadFailed}));
  ExpectSlotEmpty(0);
}

TEST(CReaderParams, RangeAndSelectionReachTheReader) {
  FakeUi ui;
  ScriptedDecoder decoder;
  decoder.script.streams = {MediaType::Audio, MediaType::Video};
  CReader reader(ui, decoder);
  EXPECT_EQ(reader.SetParams(2000, 2000, 0, 1, 1, 0), kEInvalidArg);
  EXPECT_EQ(reader.SetParams(3000, 1000, 0, 1, 1, 0), kEInvalidArg);
  EXPECT_EQ(reader.Open(""), kEInvalidArg);
  EXPECT_TRUE(ui.messages.empty());

  ASSERT_EQ(reader.SetParams(1500, 2500, 0, 0, 1, 0), kMediaOk);
  ASSERT_EQ(reader.Open("/a.wma"), kMediaOk);
  ASSERT_EQ(reader.ReadSamples(), kMediaOk);
  EXPECT_EQ(reader.audioStream, 1);
  EXPECT_EQ(reader.videoStream, 2);
  const std::vector<std::string> tail(decoder.script.calls.end() - 6, decoder.script.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"SetStreamSelected 1 off", "SetReadStreamSamples 1 0",
                                            "SetStreamSelected 2 on", "SetReadStreamSamples 2 0",
                                            "SetRange 15000000 10000000", "GetNextSample"}));

  // A range in video frames replaces the range in time.
  decoder.script.calls.clear();
  ASSERT_EQ(reader.SetParams(10, 0, 0, 1, 1, 1), kMediaOk);
  ASSERT_EQ(reader.ReadSamples(), kMediaOk);
  EXPECT_EQ(decoder.script.calls[4], "SetRangeByFrame 2 10 0");
  EXPECT_EQ(decoder.script.calls[5], "GetNextSample");
  EXPECT_EQ(reader.Close(), kMediaOk);
  EXPECT_FALSE(reader.reader);
}

}  // namespace
}  // namespace velmora
