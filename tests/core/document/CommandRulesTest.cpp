// Enabled states and check marks of every command as a table over document states.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "document/CommandRules.h"
#include "seams/CommandIds.h"
#include "support/DocumentFixture.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using namespace cmd;

// A channel of 1000 samples.
void Load(CVelmoraDoc& doc, int index, int channels = 2) {
  test::PutSilence(doc, index, {44100, channels, 16}, 1000 / static_cast<uint32_t>(channels));
}

void MakeMix(CVelmoraDoc& doc, uint32_t frames) {
  test::PutMix(doc, frames);
  doc.SetEndMark(frames - 1);
}

using Setup = std::function<void(CVelmoraDoc&)>;

struct Row {
  const char* state;
  Setup setup;
  int id;
  bool enabled;
  CheckMark check;
};

const CheckMark kOn = CheckMark::On;
const CheckMark kOff = CheckMark::Off;
const CheckMark kKeep = CheckMark::Unchanged;

const Setup kEmpty = [](CVelmoraDoc&) {};
const Setup kOneStereo = [](CVelmoraDoc& d) { Load(d, 0); };
const Setup kOneMono = [](CVelmoraDoc& d) { Load(d, 1, 1); };
const Setup kWithMix = [](CVelmoraDoc& d) {
  Load(d, 0);
  MakeMix(d, 1000);
};
const Setup kPlaying = [](CVelmoraDoc& d) {
  kWithMix(d);
  d.SetTransportState(TransportState::Playing);
};
const Setup kTuning = [](CVelmoraDoc& d) {
  kWithMix(d);
  d.SetTransportState(TransportState::TuningTone);
  d.SetPaused(true);
};
const Setup kWorker = [](CVelmoraDoc& d) {
  kWithMix(d);
  test::DocumentAccess::SetWorkerBusy(d, true);
};

TEST(CommandRules, Table) {
  const std::vector<Row> rows = {
      // With no channel, Play, Properties and mono playback are off; Record/Stop/Pause stay on.
      {"empty", kEmpty, kPlay, false, kOff},
      {"empty", kEmpty, kProperties, false, kKeep},
      {"empty", kEmpty, kMonoPlayback, false, kOff},
      {"empty", kEmpty, kRecord, true, kOff},
      {"empty", kEmpty, kStop, true, kOn},
      {"empty", kEmpty, kPause, true, kOff},
      {"empty", kEmpty, kNew, true, kKeep},
      {"empty", kEmpty, kOpen, true, kKeep},
      {"empty", kEmpty, kSave, false, kKeep},
      {"empty", kEmpty, kGoToStart, false, kKeep},
      {"empty", kEmpty, kStartMark, false, kOff},
      {"empty", kEmpty, kSaveChannel, false, kKeep},
      {"empty", kEmpty, kFadeInWhole, true, kKeep},
      {"empty", kEmpty, kMetronome, true, kKeep},
      {"empty", kEmpty, kAbout, true, kKeep},
      {"empty", kEmpty, kExit, true, kKeep},
      {"empty", kEmpty, kHelpFinder, true, kKeep},
      {"empty", kEmpty, kRecordSetup, true, kKeep},
      {"empty", kEmpty, kCorrections, false, kKeep},
      // One stereo channel in slot 0.
      {"one", kOneStereo, kPlay, true, kOff},
      {"one", kOneStereo, kProperties, true, kKeep},
      {"one", kOneStereo, kSaveChannel, true, kKeep},
      {"one", kOneStereo, kSaveChannel + 1, false, kKeep},
      {"one", kOneStereo, kReleaseChannel, true, kKeep},
      {"one", kOneStereo, kConvertToMono, true, kKeep},
      {"one", kOneStereo, kSelectChannel, true, kOn},
      {"one", kOneStereo, kSelectChannel + 1, false, kOff},
      {"one", kOneStereo, kGoToOffset, true, kKeep},
      {"one", kOneStereo, kFadeIn[0], true, kKeep},
      {"one", kOneStereo, kFadeOut[0], true, kKeep},
      {"one", kOneStereo, kTrim, false, kKeep},
      // Mono conversion needs a stereo channel; fade ids of channels 3 and 4 are swapped.
      {"mono", kOneMono, kConvertToMono + 1, false, kKeep},
      {"mono", kOneMono, kFadeIn[1], true, kKeep},
      {"mono", kOneMono, 32825, true, kKeep},
      {"mono", kOneMono, 32828, false, kKeep},
      // A mix exists.
      {"mix", kWithMix, kSave, true, kKeep},
      {"mix", kWithMix, kSaveAs, true, kKeep},
      {"mix", kWithMix, kSaveBetweenMarks, false, kKeep},
      {"mix", kWithMix, kGoToEnd, true, kKeep},
      {"mix", kWithMix, kStartMark, true, kOff},
      {"mix", kWithMix, kEndMark, true, kOff},
      {"mix with start mark",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         d.SetStartMark(5);
       },
       kSaveBetweenMarks, true, kKeep},
      {"mix with start mark",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         d.SetStartMark(5);
       },
       kStartMark, true, kOn},
      {"mix with end mark",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         d.SetEndMark(50);
       },
       kEndMark, true, kOn},
      {"mix with end mark 0",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         d.SetEndMark(0);
       },
       kEndMark, true, kOff},
      {"trim by end mark inside the channel",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         d.SetEndMark(100);
       },
       kTrim, true, kKeep},
      {"corrections, current mix",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         test::DocumentAccess::corrections(d).push_back({3, 1});
       },
       kCorrections, true, kKeep},
      {"corrections, stale mix",
       [](CVelmoraDoc& d) {
         kWithMix(d);
         test::DocumentAccess::corrections(d).push_back({3, 1});
         d.SetMixStale(true);
       },
       kCorrections, false, kKeep},
      // Playing: only saving a channel, trimming by start mark, marks and transport stay.
      {"playing", kPlaying, kPlay, true, kOn},
      {"playing", kPlaying, kSave, false, kKeep},
      {"playing", kPlaying, kNew, false, kKeep},
      {"playing", kPlaying, kSaveChannel, false, kKeep},
      {"playing", kPlaying, kReleaseChannel, false, kKeep},
      {"playing", kPlaying, kConvertToMono, false, kKeep},
      {"playing", kPlaying, kFadeIn[0], false, kKeep},
      {"playing", kPlaying, kRecordSetup, false, kKeep},
      {"playing", kPlaying, kAudioDevices, false, kKeep},
      {"playing", kPlaying, kStop, true, kOff},
      {"playing", kPlaying, kSelectChannel, true, kOn},
      {"playing with start mark",
       [](CVelmoraDoc& d) {
         kPlaying(d);
         d.SetStartMark(10);
       },
       kTrim, true, kKeep},
      {"playing with end mark only",
       [](CVelmoraDoc& d) {
         kPlaying(d);
         d.SetEndMark(100);
       },
       kTrim, false, kKeep},
      {"paused", [](CVelmoraDoc& d) { d.SetPaused(true); }, kPause, true, kOn},
      // The tuning tone disables the transport but leaves the marks of pause/record/stop.
      {"tuning", kTuning, kPlay, false, kOff},
      {"tuning", kTuning, kPause, false, kKeep},
      {"tuning", kTuning, kRecord, false, kKeep},
      {"tuning", kTuning, kStop, false, kKeep},
      {"tuning", kTuning, kMonoPlayback, true, kOff},
      // A worker build disables what would change or free what it reads.
      {"worker", kWorker, kNew, false, kKeep},
      {"worker", kWorker, kSave, false, kKeep},
      {"worker", kWorker, kSelectChannel, false, kOff},
      {"worker", kWorker, kGoToOffset, false, kKeep},
      {"worker", kWorker, kReleaseChannel, false, kKeep},
      {"worker", kWorker, kFadeOutWhole, false, kKeep},
      {"worker, mono on",
       [](CVelmoraDoc& d) {
         kWorker(d);
         d.SetMonoPlayback(true);
       },
       kMonoPlayback, false, kOn},
      {"worker", kWorker, kSaveChannel, true, kKeep},
      {"unknown", kEmpty, 12345, false, kKeep},
  };
  test::FakeUi ui;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.state) + " / " + std::to_string(row.id));
    CVelmoraDoc doc(ui);
    row.setup(doc);
    const CommandState state = QueryCommandState(doc, row.id);
    EXPECT_EQ(state.enabled, row.enabled);
    EXPECT_EQ(state.check, row.check);
  }
}

TEST(CommandRules, EveryMenuCommandHasARule) {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  std::vector<int> ids = {
      kNew,          kOpen,         kSave,         kSaveAs,      kSaveBetweenMarks,
      kProperties,   kExit,         kPlay,         kRecord,      kStop,
      kPause,        kMonoPlayback, kGoToStart,    kGoToEnd,     kStartMark,
      kEndMark,      kFadeInWhole,  kFadeOutWhole, kRecordSetup, kMetronome,
      kAudioDevices, kCorrections,  kHelpFinder,   kAbout};
  for (int i = 0; i < 4; ++i) {
    for (int first :
         {kSaveChannel, kReleaseChannel, kConvertToMono, kTrim, kSelectChannel, kGoToOffset}) {
      ids.push_back(first + i);
    }
    ids.push_back(kFadeIn[i]);
    ids.push_back(kFadeOut[i]);
  }
  for (int id : ids) EXPECT_TRUE(QueryCommandState(doc, id).known) << id;
}

}  // namespace
}  // namespace velmora
