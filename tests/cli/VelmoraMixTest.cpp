// velmora-mix run as a program: each option against the document doing the same, refused
// inputs, usage errors and files that cannot be written.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "document/VelmoraDoc.h"
#include "io/LittleEndian.h"
#include "support/FakeUi.h"
#include "support/WavFixture.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string TextOf(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Inputs written once per test, the program's runs and the document that does the same.
class VelmoraMix : public testing::Test {
 protected:
  void SetUp() override {
    // A loud stereo tone that clips when mixed, a quiet 8-bit mono one at half the rate, and a
    // short stereo one.
    std::vector<int16_t> loud;
    for (int f = 0; f < 30000; ++f) {
      const auto v = static_cast<int16_t>(30000 * std::sin(f * 0.031));
      loud.push_back(v);
      loud.push_back(static_cast<int16_t>(-v / 2));
    }
    std::vector<uint8_t> quiet(12000);
    for (int f = 0; f < 12000; ++f) quiet[f] = static_cast<uint8_t>(128 + (f % 90) - 45);
    std::vector<int16_t> shortTone;
    for (int f = 0; f < 8000; ++f) {
      shortTone.push_back(static_cast<int16_t>(20000 * std::sin(f * 0.05)));
      shortTone.push_back(static_cast<int16_t>(18000 * std::sin(f * 0.07)));
    }
    inputs_ = {test::WriteWav(dir_, "loud.wav", Spec(2, 44100, 16), test::Pcm16(loud)),
               test::WriteWav(dir_, "quiet.wav", Spec(1, 22050, 8), quiet),
               test::WriteWav(dir_, "short.wav", Spec(2, 44100, 16), test::Pcm16(shortTone))};
  }

  static test::WavSpec Spec(int channels, int rate, int bits) {
    test::WavSpec spec;
    spec.channels = channels;
    spec.rate = rate;
    spec.bits = bits;
    return spec;
  }

  // A run still going after a minute is killed (status 124): a wait on a pipe fails the test
  // instead of hanging it.
  RunResult Run(const std::vector<std::string>& args) {
    std::string command = "timeout 60 " + Quoted(VELMORA_MIX_PROGRAM);
    for (const std::string& arg : args) command += " " + Quoted(arg);
    const std::string out = dir_.File("stdout.txt");
    const std::string err = dir_.File("stderr.txt");
    command += " >" + Quoted(out) + " 2>" + Quoted(err);
    RunResult result;
    const int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
    result.out = TextOf(out);
    result.err = TextOf(err);
    return result;
  }

  // Options, then the output and the inputs.
  RunResult Mix(std::vector<std::string> options, const std::string& output, int inputCount = 3) {
    options.push_back(output);
    for (int i = 0; i < inputCount; ++i) options.push_back(inputs_[i]);
    return Run(options);
  }

  // The document with the same inputs, after `setup`.
  void LoadDocument(CVelmoraDoc& doc, int inputCount = 3) {
    for (int i = 0; i < inputCount; ++i) ASSERT_TRUE(doc.LoadIntoSlot(i, inputs_[i]));
  }

  test::TempDir dir_;
  std::vector<std::string> inputs_;
};

std::string CorrectionText(const CVelmoraDoc& doc) {
  std::string lines;
  for (const MixCorrection& c : doc.corrections()) {
    lines += std::to_string(c.start) + " " + std::to_string(c.count) + "\n";
  }
  return lines;
}

// `frames` frames of a sine in `bits`-bit samples, each of `channels` sides at its own pitch.
std::vector<uint8_t> Tone(int channels, int bits, int frames, double step, double amplitude) {
  std::vector<uint8_t> bytes;
  for (int f = 0; f < frames; ++f) {
    for (int side = 0; side < channels; ++side) {
      const auto v = static_cast<int16_t>(amplitude * std::sin(f * step * (side + 1)));
      if (bits == 8) {
        bytes.push_back(static_cast<uint8_t>(128 + v / 256));
      } else {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
      }
    }
  }
  return bytes;
}

// The format a row's mix comes out in.
struct RowFormat {
  int rate;
  int bits;
  int channels;
};

// Three inputs whose mix is in the row's format: two of that format (0.3 s and 0.2 s, loud
// enough together to clip) and a quieter 8-bit one of the other channel count at the lowest rate
// of the family (0.25 s).
std::vector<std::string> WriteRowInputs(const test::TempDir& dir, const RowFormat& row) {
  test::WavSpec spec;
  spec.channels = row.channels;
  spec.rate = row.rate;
  spec.bits = row.bits;
  test::WavSpec other;
  other.channels = 3 - row.channels;
  other.rate = row.rate % 11025 == 0 ? 11025 : 48000;
  other.bits = 8;
  return {
      test::WriteWav(dir, "a.wav", spec,
                     Tone(row.channels, row.bits, row.rate * 3 / 10, 0.031, 30000)),
      test::WriteWav(dir, "b.wav", spec, Tone(row.channels, row.bits, row.rate / 5, 0.05, 26000)),
      test::WriteWav(dir, "c.wav", other, Tone(other.channels, 8, other.rate / 4, 0.011, 12000))};
}

TEST_F(VelmoraMix, AgreesWithTheDocumentsSaveInEveryRateFamilyWidthAndLayout) {
  std::vector<RowFormat> rows;
  for (const int rate : {11025, 22050, 44100, 48000, 96000, 192000}) {
    for (const int bits : {8, 16}) {
      for (const int channels : {1, 2}) rows.push_back({rate, bits, channels});
    }
  }
  struct OptionSet {
    const char* name;
    std::vector<std::string> args;
    std::function<void(CVelmoraDoc&)> setup;  // the same on the document
    bool fromStart = false;  // --start 0.1 s into the mix; the document builds from there
    bool marks = false;      // --marks 0.25 s:0.05 s; the document saves between its marks
  };
  const OptionSet sets[] = {
      {"defaults", {}, [](CVelmoraDoc&) {}},
      {"levels, balances, offsets both ways, every curve, mono, a start and marks",
       {"--level",      "1=60",           "--level",     "3=150",          "--balance",
        "1=3",          "--balance",      "2=20",        "--offset",       "2=120",
        "--offset",     "3=-40",          "--fade-in",   "1=80",           "--fade-out",
        "1=60:concave", "--fade-in",      "2=50:linear", "--fade-out",     "3=90:linear",
        "--fade-in",    "all=70:concave", "--fade-out",  "all=100:linear", "--mono"},
       [](CVelmoraDoc& d) {
         d.SetLevel(0, 60);
         d.SetLevel(2, 150);
         d.SetBalance(0, 3);
         d.SetBalance(1, 20);
         d.SetOffset(1, 120);
         d.SetOffset(2, -40);
         d.SetFadeIn(0, {FadeCurve::Convex, 80});
         d.SetFadeOut(0, {FadeCurve::Concave, 60});
         d.SetFadeIn(1, {FadeCurve::Linear, 50});
         d.SetFadeOut(2, {FadeCurve::Linear, 90});
         d.SetFadeIn(kWholeMix, {FadeCurve::Concave, 70});
         d.SetFadeOut(kWholeMix, {FadeCurve::Linear, 100});
         d.SetMonoPlayback(true);
       },
       true,
       true},
      {"a channel left out, the others moved both ways, every curve again",
       {"--deselect", "2", "--level", "2=30", "--balance", "3=0", "--offset", "1=-25", "--offset",
        "3=75", "--fade-in", "3=40:concave", "--fade-out", "2=120:convex", "--fade-in",
        "all=30:linear", "--fade-out", "all=50"},
       [](CVelmoraDoc& d) {
         d.SetSelected(1, false);
         d.SetLevel(1, 30);
         d.SetBalance(2, 0);
         d.SetOffset(0, -25);
         d.SetOffset(2, 75);
         d.SetFadeIn(2, {FadeCurve::Concave, 40});
         d.SetFadeOut(1, {FadeCurve::Convex, 120});
         d.SetFadeIn(kWholeMix, {FadeCurve::Linear, 30});
         d.SetFadeOut(kWholeMix, {FadeCurve::Convex, 50});
       }},
  };
  for (const RowFormat& row : rows) {
    const std::vector<std::string> inputs = WriteRowInputs(dir_, row);
    const auto start = static_cast<uint32_t>(row.rate / 10);
    const auto startMark = static_cast<uint32_t>(row.rate / 4);
    const auto endMark = static_cast<uint32_t>(row.rate / 20);
    for (const OptionSet& set : sets) {
      SCOPED_TRACE(testing::Message()
                   << row.rate << " Hz, " << row.bits << " bits, "
                   << (row.channels == 2 ? "stereo" : "mono") << ", " << set.name);
      test::FakeUi ui;
      CVelmoraDoc doc(ui);
      for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc.LoadIntoSlot(i, inputs[i]));
      set.setup(doc);
      if (set.fromStart) {
        doc.SetPosition(start);
        ASSERT_EQ(doc.BuildMix(std::nullopt, false), MixBuild::Built);
      }
      const std::string saved = dir_.File("saved.wav");
      ui.saveChoices.push_back(saved);
      doc.SaveMixAs();
      std::string expected = saved;
      if (set.marks) {
        doc.SetStartMark(startMark);
        doc.SetEndMark(endMark);
        expected = dir_.File("marked.wav");
        ui.saveChoices.push_back(expected);
        doc.SaveBetweenMarks();
      }
      ASSERT_TRUE(ui.messages.empty()) << ui.messages[0].text;
      ASSERT_FALSE(doc.corrections().empty()) << "the inputs are meant to clip";

      const std::string output = dir_.File("out.wav");
      const std::string corrections = dir_.File("corrections.txt");
      const std::string peaks = dir_.File("peaks.bin");
      std::vector<std::string> args = set.args;
      if (set.fromStart) args.insert(args.end(), {"--start", std::to_string(start)});
      if (set.marks) {
        args.insert(args.end(),
                    {"--marks", std::to_string(startMark) + ":" + std::to_string(endMark)});
      }
      args.insert(args.end(), {"--corrections", corrections, "--peaks", peaks, output});
      args.insert(args.end(), inputs.begin(), inputs.end());
      const RunResult run = Run(args);
      ASSERT_EQ(run.status, 0) << run.err;
      EXPECT_EQ(run.err, "");

      const std::vector<uint8_t> written = ReadBytes(output);
      ASSERT_GT(written.size(), 44u);
      EXPECT_EQ(le::U32(written.data() + 24), static_cast<uint32_t>(row.rate));
      EXPECT_EQ(le::U16(written.data() + 34), row.bits);
      EXPECT_TRUE(written == ReadBytes(expected));
      EXPECT_EQ(TextOf(corrections), CorrectionText(doc));
      const std::vector<uint8_t> table = ReadBytes(peaks);
      EXPECT_EQ(table.size(), doc.blockPeaks().ToBytes().size());
      EXPECT_TRUE(table == doc.blockPeaks().ToBytes());
    }
  }
}

TEST_F(VelmoraMix, MarksWriteTheStretchTheDocumentSavesBetweenItsMarks) {
  struct Case {
    std::string marks;
    uint32_t startMark, endMark;  // as the document's marks
  };
  // The mix has 30000 frames.
  const Case cases[] = {
      {"1000:2000", 1000, 2000}, {"2000:1000", 1000, 2000}, {"29000:99999999", 29000, 29999}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.marks);
    const std::string output = dir_.File("marks.wav");
    ASSERT_EQ(Mix({"--marks", c.marks}, output).status, 0);

    test::FakeUi ui;
    CVelmoraDoc doc(ui);
    LoadDocument(doc);
    ASSERT_EQ(doc.BuildMix(4096, false), MixBuild::Built);
    doc.SetStartMark(c.startMark);
    doc.SetEndMark(c.endMark);
    const std::string expected = dir_.File("document-marks.wav");
    ui.saveChoices.push_back(expected);
    doc.SaveBetweenMarks();
    EXPECT_TRUE(ReadBytes(output) == ReadBytes(expected));
  }
}

// Inputs several times longer than the pieces velmora-mix mixes at a time (65536 frames), at two
// rates, loud enough to clip across piece boundaries and across the wrap.
std::vector<std::string> WriteLongInputs(const test::TempDir& dir) {
  std::vector<int16_t> stereo;
  for (int f = 0; f < 200000; ++f) {
    stereo.push_back(static_cast<int16_t>(31000 * std::sin(f * 0.0021)));
    stereo.push_back(static_cast<int16_t>(29000 * std::sin(f * 0.0007 + 1)));
  }
  std::vector<uint8_t> eightBit(90000);
  for (int f = 0; f < 90000; ++f) {
    eightBit[f] = static_cast<uint8_t>(128 + 120 * std::sin(f * 0.003));
  }
  std::vector<int16_t> mono(150001);
  for (int f = 0; f < 150001; ++f) mono[f] = static_cast<int16_t>((f * 37) % 50000 - 25000);
  test::WavSpec stereoSpec;
  test::WavSpec eightBitSpec;
  eightBitSpec.channels = 1;
  eightBitSpec.rate = 22050;
  eightBitSpec.bits = 8;
  test::WavSpec monoSpec;
  monoSpec.channels = 1;
  return {test::WriteWav(dir, "long-stereo.wav", stereoSpec, test::Pcm16(stereo)),
          test::WriteWav(dir, "long-8bit.wav", eightBitSpec, eightBit),
          test::WriteWav(dir, "long-mono.wav", monoSpec, test::Pcm16(mono))};
}

TEST_F(VelmoraMix, LongInputsGiveTheDocumentsBytesCorrectionsAndPeaks) {
  const std::vector<std::string> inputs = WriteLongInputs(dir_);
  struct Case {
    const char* name;
    std::vector<std::string> options;
    std::function<void(CVelmoraDoc&)> setup;
    uint32_t start = 0;
    uint32_t block = 4096;
    std::optional<std::pair<uint32_t, uint32_t>> marks{};
    bool logs = true;  // also --corrections and --peaks
  };
  const auto none = [](CVelmoraDoc&) {};
  const Case cases[] = {
      {"from the start", {}, none},
      {"from the middle", {"--start", "100001"}, none, 100001},
      {"offsets, fades and a small block, from inside a fade",
       {"--start", "199000", "--offset", "2=700", "--offset", "3=-300", "--fade-in", "2=500:linear",
        "--fade-out", "all=2000:concave", "--fade-in", "all=1500", "--block", "333"},
       [](CVelmoraDoc& d) {
         d.SetOffset(1, 700);
         d.SetOffset(2, -300);
         d.SetFadeIn(1, {FadeCurve::Linear, 500});
         d.SetFadeOut(kWholeMix, {FadeCurve::Concave, 2000});
         d.SetFadeIn(kWholeMix, {FadeCurve::Convex, 1500});
       },
       199000,
       333},
      {"mono, levels and a deselected channel",
       {"--start", "65536", "--mono", "--balance", "1=4", "--level", "2=120", "--deselect", "3"},
       [](CVelmoraDoc& d) {
         d.SetMonoPlayback(true);
         d.SetBalance(0, 4);
         d.SetLevel(1, 120);
         d.SetSelected(2, false);
       },
       65536},
      {"marks around the start",
       {"--start", "120000", "--marks", "190000:70000"},
       none,
       120000,
       4096,
       std::make_pair(70000u, 190000u)},
      {"marks and nothing else",
       {"--start", "120000", "--marks", "70000:190000"},
       none,
       120000,
       4096,
       std::make_pair(70000u, 190000u),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string output = dir_.File("long-out.wav");
    const std::string corrections = dir_.File("long-corrections.txt");
    const std::string peaks = dir_.File("long-peaks.bin");
    std::vector<std::string> args = c.options;
    if (c.logs) args.insert(args.end(), {"--corrections", corrections, "--peaks", peaks});
    args.push_back(output);
    args.insert(args.end(), inputs.begin(), inputs.end());
    const RunResult run = Run(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    test::FakeUi ui;
    CVelmoraDoc doc(ui);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc.LoadIntoSlot(i, inputs[i]));
    c.setup(doc);
    doc.SetPosition(c.start);
    ASSERT_EQ(doc.BuildMix(c.block, false), MixBuild::Built);
    ASSERT_GT(doc.mixFrames(), 3 * 65536u);
    ASSERT_GT(doc.corrections().size(), 3u) << "the inputs are meant to clip";
    const std::string expected = dir_.File("long-document.wav");
    ui.saveChoices.push_back(expected);
    if (c.marks) {
      doc.SetStartMark(c.marks->first);
      doc.SetEndMark(c.marks->second);
      doc.SaveBetweenMarks();
    } else {
      doc.SaveMixAs();
    }
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(ReadBytes(output) == ReadBytes(expected));
    if (c.logs) {
      EXPECT_EQ(TextOf(corrections), CorrectionText(doc));
      EXPECT_TRUE(ReadBytes(peaks) == doc.blockPeaks().ToBytes());
    }
  }
}

TEST_F(VelmoraMix, EmptyMixIsAValidWavWithNoSamples) {
  const std::string output = dir_.File("empty.wav");
  const std::string corrections = dir_.File("corrections.txt");
  const std::string peaks = dir_.File("peaks.bin");
  // The short input lasts 181 ms; this offset puts it wholly before the start of the mix.
  const RunResult run = Run(
      {"--offset", "1=-200", "--corrections", corrections, "--peaks", peaks, output, inputs_[2]});
  ASSERT_EQ(run.status, 0) << run.err;

  const std::vector<uint8_t> file = ReadBytes(output);
  ASSERT_EQ(file.size(), 44u);
  EXPECT_EQ(le::U32(file.data() + 4), 36u);  // RIFF size
  EXPECT_EQ(le::U16(file.data() + 22), 2u);
  EXPECT_EQ(le::U32(file.data() + 24), 44100u);
  EXPECT_EQ(le::U16(file.data() + 34), 16u);
  EXPECT_EQ(le::U32(file.data() + 40), 0u);  // data size
  EXPECT_TRUE(fs::exists(corrections));
  EXPECT_EQ(ReadBytes(corrections).size(), 0u);
  EXPECT_EQ(ReadBytes(peaks), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(VelmoraMix, AQuietChannelIsMixedAtUnityGainAndOnlyASilentOneIsLeftOut) {
  // Peaks under 1 % of full scale, beside the loud short input and after its end.
  const struct {
    int bits;
    int peak;
  } cases[] = {{16, 0},   {16, 1}, {16, 163}, {16, 164}, {16, 327},
               {16, 328}, {8, 0},  {8, 1},    {8, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << "-bit peak " << c.peak);
    std::vector<uint8_t> quiet;
    for (int f = 0; f < 4000; ++f) {
      const int v = f % 3 == 0 ? -c.peak : c.peak / 2;
      if (c.bits == 8) {
        quiet.push_back(static_cast<uint8_t>(128 + v));
      } else {
        quiet.push_back(static_cast<uint8_t>(v));
        quiet.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
      }
    }
    const std::string input = test::WriteWav(dir_, "quiet-take.wav", Spec(1, 44100, c.bits), quiet);
    const std::string output = dir_.File("out.wav");
    const RunResult run = Run({"--offset", "2=200", output, inputs_[2], input});
    ASSERT_EQ(run.status, 0) << run.err;

    // From 200 ms on, the quiet channel alone, raised to the mix's 16 bits.
    const std::vector<uint8_t> file = ReadBytes(output);
    ASSERT_EQ(file.size(), 44u + 4u * (8820u + 4000u));
    int peak = 0;
    for (std::size_t at = 44 + 4 * 8820; at < file.size(); at += 2) {
      peak = std::max(peak, std::abs(static_cast<int>(le::I16(file.data() + at))));
    }
    EXPECT_EQ(peak, c.peak * (c.bits == 8 ? 256 : 1));
  }
}

TEST_F(VelmoraMix, RefusedInputPrintsTheReadersMessageAndTouchesNoOutput) {
  test::WavSpec float32 = Spec(2, 44100, 16);
  float32.formatTag = 3;
  const std::string notPcm = test::WriteWav(dir_, "float.wav", float32, std::vector<uint8_t>(16));
  const std::string otherRate =
      test::WriteWav(dir_, "rate.wav", Spec(2, 48000, 16), std::vector<uint8_t>(16));
  const std::string mp3 = dir_.File("song.mp3");
  test::WriteBytes(mp3, {1, 2, 3});
  struct Case {
    std::string input;
    std::string message;
    std::string reason;  // the system's, on a line of its own
  };
  const Case cases[] = {
      {otherRate, std::string(msg::kRateMismatch), ""},
      {notPcm, std::string(msg::kNotPcm), ""},
      {mp3, std::string(msg::kWrongType), ""},
      {dir_.File("missing.wav"), std::string(msg::kReadFailed),
       std::generic_category().message(ENOENT)},
  };
  for (const bool outputExists : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.input + (outputExists ? ", output exists" : ""));
      const std::string output = dir_.File("out.wav");
      const std::string peaks = dir_.File("peaks.bin");
      fs::remove(output);
      if (outputExists) test::WriteBytes(output, {9, 9, 9});
      struct stat before {};
      ::stat(output.c_str(), &before);

      const RunResult run = Run({"--peaks", peaks, output, inputs_[0], c.input});

      EXPECT_EQ(run.status, 1);
      const std::string reason =
          c.reason.empty() ? "" : "velmora-mix: " + c.input + ": " + c.reason + "\n";
      EXPECT_EQ(run.err, "velmora-mix: " + c.input + ": " + c.message + "\n" + reason);
      EXPECT_FALSE(fs::exists(peaks));
      EXPECT_EQ(fs::exists(output), outputExists);
      if (outputExists) {
        struct stat after {};
        ::stat(output.c_str(), &after);
        EXPECT_EQ(ReadBytes(output), (std::vector<uint8_t>{9, 9, 9}));
        EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        EXPECT_EQ(after.st_ino, before.st_ino);
      }
    }
  }
}

TEST_F(VelmoraMix, UsageErrorsExitWithTwoAndPrintTheUsage) {
  const std::string out = dir_.File("out.wav");
  const std::string a = inputs_[0];
  const std::vector<std::vector<std::string>> cases = {
      {},
      {out},
      {"--loud", out, a},
      {"--level", "1=201", out, a},
      {"--level", "0=5", out, a},
      {"--level", "1:5", out, a},
      {"--level", "2=10", out, a},  // no second input
      {"--balance", "1=21", out, a},
      {"--offset", "1=1.5", out, a},
      {"--offset", "1=-3600001", out, a},
      {"--deselect", "5", out, a},
      {"--fade-in", "all=100001", out, a},
      {"--fade-out", "1=10:wobbly", out, a},
      {"--fade-in", "none=10", out, a},
      {"--start", "-1", out, a},
      {"--block", "0", out, a},
      {"--marks", "5", out, a},
      {"--marks", "1:x", out, a},
      {"--peaks", "", out, a},
      {out, a, a, a, a, a},  // five inputs
      {out, a, "--level"},   // no value
      {"--start", "30001", out, a},
  };
  for (const std::vector<std::string>& args : cases) {
    std::string shown;
    for (const std::string& arg : args) shown += arg + " ";
    SCOPED_TRACE(shown);
    const RunResult run = Run(args);
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("usage: velmora-mix [options] OUTPUT.wav INPUT.wav"), std::string::npos);
    EXPECT_FALSE(fs::exists(out));
  }
}

TEST_F(VelmoraMix, HelpPrintsTheUsageAndWritesNothing) {
  const RunResult run = Run({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: velmora-mix", 0), 0u);
  EXPECT_EQ(run.err, "");
}

TEST_F(VelmoraMix, OutputThatCannotBeWrittenExitsWithOne) {
  const std::string output = dir_.File("no-such-folder/out.wav");
  const RunResult run = Mix({}, output);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "velmora-mix: " + output + ": " + msg::kSaveFailed + "\nvelmora-mix: " +
                         output + ": " + std::generic_category().message(ENOENT) + "\n");
  EXPECT_FALSE(fs::exists(output));
}

TEST_F(VelmoraMix, InputsThatCannotBeOpenedNameTheFileAndTheSystemsReason) {
  fs::create_directory(dir_.File("folder.wav"));
  fs::create_symlink(dir_.File("b.wav"), dir_.File("a.wav"));
  fs::create_symlink(dir_.File("a.wav"), dir_.File("b.wav"));
  ASSERT_EQ(::mkfifo(dir_.File("pipe.wav").c_str(), 0600), 0);
  const std::string secret = dir_.File("secret.wav");
  fs::copy_file(inputs_[0], secret);
  fs::permissions(secret, fs::perms::none);
  struct Case {
    std::string input;
    int error;  // 0 = not a regular file
  };
  std::vector<Case> cases = {
      {dir_.File("missing.wav"), ENOENT},
      {dir_.File("folder.wav"), EISDIR},
      {dir_.File("a.wav"), ELOOP},
      {dir_.File("pipe.wav"), 0},
  };
  if (::geteuid() != 0) cases.push_back({secret, EACCES});  // root reads it anyway
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const std::string output = dir_.File("out.wav");
    const RunResult run = Run({output, inputs_[0], c.input});
    EXPECT_EQ(run.status, 1);
    const std::string reason =
        c.error != 0 ? std::generic_category().message(c.error) : "not a regular file";
    EXPECT_EQ(run.err, "velmora-mix: " + c.input + ": " + msg::kReadFailed +
                           "\nvelmora-mix: " + c.input + ": " + reason + "\n");
    EXPECT_FALSE(fs::exists(output));
  }
}

TEST_F(VelmoraMix, OutputsThatAreInputsOrOneAnotherOrNotFilesAreUsageErrors) {
  const std::string in = inputs_[0];
  const std::string out = dir_.File("out.wav");
  const std::string peaks = dir_.File("peaks.bin");
  fs::create_directory(dir_.File("sub"));
  fs::create_hard_link(in, dir_.File("hard.wav"));
  fs::create_symlink(in, dir_.File("link.wav"));
  ASSERT_EQ(::mkfifo(dir_.File("pipe.wav").c_str(), 0600), 0);
  fs::create_directory(dir_.File("folder.wav"));
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::vector<Case> cases = {
      {{"--corrections", in, out, in}, "the --corrections file is input 1 '" + in + "'"},
      {{"--peaks", out, out, in}, "OUTPUT and the --peaks file are the same file"},
      {{"--peaks", peaks, "--corrections", peaks, out, in},
       "the --corrections file and the --peaks file are the same file"},
      {{"--peaks", dir_.File("sub/../peaks.bin"), "--corrections", peaks, out, in},
       "the --corrections file and the --peaks file are the same file"},
      {{in, in}, "OUTPUT is input 1 '" + in + "'"},
      {{dir_.File("hard.wav"), inputs_[1], in}, "OUTPUT is input 2 '" + in + "'"},
      {{"--peaks", dir_.File("link.wav"), out, in}, "the --peaks file is input 1 '" + in + "'"},
      {{dir_.File("pipe.wav"), in}, "OUTPUT '" + dir_.File("pipe.wav") + "' is not a regular file"},
      {{"--peaks", dir_.File("pipe.wav"), out, in},
       "the --peaks file '" + dir_.File("pipe.wav") + "' is not a regular file"},
      {{dir_.File("folder.wav"), in},
       "OUTPUT '" + dir_.File("folder.wav") + "' is not a regular file"},
  };
  const std::vector<uint8_t> inputBytes = ReadBytes(in);
  for (const Case& c : cases) {
    std::string shown;
    for (const std::string& arg : c.args) shown += arg + " ";
    SCOPED_TRACE(shown);
    const RunResult run = Run(c.args);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind("velmora-mix: " + c.error + "\n\nusage: velmora-mix", 0), 0u)
        << run.err;
    EXPECT_TRUE(ReadBytes(in) == inputBytes);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_FALSE(fs::exists(peaks));
    EXPECT_TRUE(fs::is_fifo(dir_.File("pipe.wav")));
  }
}

// Watches a folder for files created in it.
class CreationWatch {
 public:
  explicit CreationWatch(const std::string& folder) {
    fd_ = ::inotify_init1(IN_CLOEXEC);
    if (fd_ >= 0) ::inotify_add_watch(fd_, folder.c_str(), IN_CREATE);
  }
  ~CreationWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  CreationWatch(const CreationWatch&) = delete;
  CreationWatch& operator=(const CreationWatch&) = delete;
  bool ok() const { return fd_ >= 0; }

  // Blocks until a file whose name begins with `prefix` is created; gives its name.
  std::string Next(const std::string& prefix) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) return {};
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        std::string name = event->len > 0 ? event->name : "";
        if (name.rfind(prefix, 0) == 0) return name;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

 private:
  int fd_ = -1;
};

// How a spawned run is set up before velmora-mix starts in it.
struct SpawnSetup {
  int ignoredSignal = 0;  // ignored as nohup or a shell's background job leaves it; 0 = none
  int stdoutFd = -1;      // standard output; -1 = /dev/null
};

// Starts velmora-mix with `args`: standard error to /dev/null, no core dump (a few of the signals
// below would write one), a umask that would let others read the file, and every signal at its
// default action except the one the setup ignores.
pid_t SpawnMix(const std::vector<std::string>& args, const SpawnSetup& setup) {
  std::vector<char*> argv;
  std::string program = VELMORA_MIX_PROGRAM;
  argv.push_back(program.data());
  std::vector<std::string> copies = args;
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child != 0) return child;
  ::umask(022);
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  for (int signal = 1; signal < NSIG; ++signal) ::signal(signal, SIG_DFL);
  if (setup.ignoredSignal != 0) ::signal(setup.ignoredSignal, SIG_IGN);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, 2);
  ::dup2(setup.stdoutFd >= 0 ? setup.stdoutFd : null, 1);
  ::execv(VELMORA_MIX_PROGRAM, argv.data());
  ::_exit(127);
}

// Every signal that ends a process by default and may come from outside it.
const std::vector<int>& EndingSignals() {
  static const std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,      SIGTERM,   SIGPIPE,
                                           SIGALRM, SIGUSR1, SIGUSR2,      SIGVTALRM, SIGPROF,
                                           SIGXCPU, SIGXFSZ, SIGRTMIN + 2, SIGRTMAX};
  return signals;
}

TEST_F(VelmoraMix, AnInterruptedWriteLeavesNoTemporaryFileAndNobodyCouldReadIt) {
  // A quarter of an hour of offset makes a mix of 40 MB, written for long enough to be
  // interrupted.
  const std::string output = dir_.File("out.wav");
  test::WriteBytes(output, {7, 7, 7});
  for (const int signal : EndingSignals()) {
    SCOPED_TRACE(strsignal(signal));
    CreationWatch watch(dir_.path());
    ASSERT_TRUE(watch.ok());
    const pid_t child = SpawnMix({"--offset", "1=900000", output, inputs_[1]}, {});
    ASSERT_GE(child, 0);
    const std::string temporary = dir_.File(watch.Next(".out.wav."));
    struct stat info {};
    const bool seen = ::stat(temporary.c_str(), &info) == 0;
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    ASSERT_TRUE(seen) << "the run ended before it could be interrupted";
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the new content is private while it is written";
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(ReadBytes(output), (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 4)
        << "the three inputs and out.wav";
  }
}

TEST_F(VelmoraMix, ASignalIgnoredAtTheStartStaysIgnored) {
  // Each as a job started by nohup, or in the background by a shell without job control.
  const std::string output = dir_.File("out.wav");
  for (const int signal : {SIGINT, SIGQUIT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal));
    fs::remove(output);
    CreationWatch watch(dir_.path());
    ASSERT_TRUE(watch.ok());
    SpawnSetup setup;
    setup.ignoredSignal = signal;
    const pid_t child = SpawnMix({"--offset", "1=900000", output, inputs_[1]}, setup);
    ASSERT_GE(child, 0);
    const std::string temporary = dir_.File(watch.Next(".out.wav."));
    ::kill(child, signal);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::exists(temporary));
    ASSERT_TRUE(fs::exists(output));
    // The offset and the input's 12000 frames, at 22050 Hz in 8-bit stereo.
    EXPECT_EQ(fs::file_size(output), 44u + 2u * (900u * 22050u + 12000u));
  }
}

TEST_F(VelmoraMix, CorrectionsToAClosedPipeEndTheRunByThePipeSignalWithTheMixWritten) {
  // As in `velmora-mix --corrections - ... | head -1`, once head has gone.
  const std::string output = dir_.File("out.wav");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ::close(pipeFds[0]);
  SpawnSetup setup;
  setup.stdoutFd = pipeFds[1];
  const pid_t child =
      SpawnMix({"--corrections", "-", output, inputs_[0], inputs_[1], inputs_[2]}, setup);
  ASSERT_GE(child, 0);
  ::close(pipeFds[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);

  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE) << status;
  EXPECT_EQ(fs::file_size(output), 44u + 4u * 30000u) << "the mix is complete before its runs";
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 4)
      << "the three inputs and out.wav";
}

}  // namespace
}  // namespace velmora
