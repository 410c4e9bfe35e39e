// Saving the mix, the stretch between the marks and single channels as canonical PCM WAV files.

#include <algorithm>
#include <optional>
#include <system_error>

#include "document/FailureMessages.h"
#include "document/VelmoraDoc.h"
#include "document/WavWriter.h"
#include "io/Format.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr const char* kSaveFilter = "Velmora ﾌｧｲﾙ(*.wav)|*.wav||";
constexpr const char* kMarksTitle = "マーク間のデータを保存";
constexpr const char* kChannelTitle = "チャンネル%d のデータを保存";
// Save As writes only WAV files; another name would save nothing while the work looked saved.
constexpr const char* kOnlyWav =
    "WAVファイル(*.wav)以外には保存できません。\n拡張子を .wav にして保存し直してください。";

FileDialogRequest SaveRequest(const std::string& title) {
  FileDialogRequest request;
  request.title = title;
  request.filter = kSaveFilter;
  request.defaultExtension = "wav";
  request.confirmOverwrite = true;
  return request;
}

}  // namespace

// Builds the mix on this thread when there is none or it is stale. True when a current mix
// exists, or when the channels make an empty mix, which is saved as a file with no samples;
// false when no mix could be made (out of memory). Mixing starts at frame 0: the play position
// only says where playback begins, and one beyond a shorter new mix would leave no mix at all.
// Afterwards the position stays, or returns to 0 when it lies beyond the mix.
bool CVelmoraDoc::PrepareMixForSaving() {
  WaitForWorker(false);
  if (HasMix() && !mixStale()) return true;
  UpdateOutputFormat();
  const uint32_t playPosition = position_;
  position_ = 0;
  const MixBuild built = BuildMix(std::nullopt, false);
  position_ = playPosition < mixFrames_ ? playPosition : 0;
  return built == MixBuild::Built || built == MixBuild::Empty;
}

void CVelmoraDoc::OnFileSave() {
  if (outputPath_.empty()) {
    SaveMixAs();
    return;
  }
  if (!SaveMix()) ui_.ReportFileError(outputPath_);
}

void CVelmoraDoc::SaveMixAs() {
  const std::optional<std::string> chosen = ui_.ChooseSaveFile(SaveRequest(""));
  if (!chosen) return;
  if (UpperExtension3(*chosen) != "WAV") {
    ui_.ShowError(kOnlyWav);
    return;
  }
  outputPath_ = *chosen;
  if (!SaveMix()) {
    ui_.ReportFileError(outputPath_);
    return;
  }
  SetPathName(outputPath_);  // the title becomes the file name
  SetModifiedFlag(false);
}

bool CVelmoraDoc::SaveMix() {
  const std::string extension = UpperExtension3(outputPath_);
  WaitCursor wait(ui_);
  if (extension != "WAV") return true;
  // A mix that cannot be made has said why; the file is then not saved either.
  const Result saved = PrepareMixForSaving() ? WriteMixFile(outputPath_, 0, mixFrames_)
                                             : FailureOf(FailureKind::SaveFailed, outputPath_);
  if (!saved) ShowFailure(ui_, saved.failure());
  return saved.ok();
}

void CVelmoraDoc::SaveBetweenMarks() {
  if (!HasMix()) return;
  const std::optional<std::string> chosen = ui_.ChooseSaveFile(SaveRequest(kMarksTitle));
  if (!chosen) return;
  WaitCursor wait(ui_);
  WaitForWorker(false);
  uint32_t first = 0;
  uint32_t count = 0;
  if (mixFrames_ > 0) {
    // An end mark of 0 is no end mark (the end of the mix); marks set one by one may stand in
    // reverse order, and the stretch between them is saved in order.
    const uint32_t end = (endMark_ == 0 || endMark_ >= mixFrames_) ? mixFrames_ - 1 : endMark_;
    const uint32_t start = std::min(startMark_, mixFrames_ - 1);
    first = std::min(start, end);
    count = std::max(start, end) - first + 1;
  }
  if (const Result saved = WriteMixFile(*chosen, first, count); !saved) {
    ShowFailure(ui_, saved.failure());
  }
}

bool CVelmoraDoc::SaveChannel(int index) {
  ChannelSlot& slot = slots_[index];
  if (!slot.HasData()) return false;
  const std::optional<std::string> chosen =
      ui_.ChooseSaveFile(SaveRequest(Format(kChannelTitle, index + 1)));
  if (!chosen) return false;
  WaitCursor wait(ui_);
  // The header image is refreshed in place, and a background mixdown reads its format fields.
  WaitForWorker(false);
  if (!FitsInWav(slot.frames, slot.FrameBytes())) {
    ShowFailure(ui_, FileFailure(FailureKind::SaveFailed, *chosen,
                                 std::make_error_code(std::errc::file_too_large)));
    return false;
  }
  FillCanonical(slot.header, slot.dataChunk, slot.header.channels, slot.header.samplesPerSec,
                slot.header.bitsPerSample, slot.frames);
  if (const Result saved = WriteWavFile(*chosen, slot.header, slot.dataChunk, slot.data.data());
      !saved) {
    ShowFailure(ui_, saved.failure());
    return false;
  }
  // Only a written file gives the channel a home; after a failure it still counts as unsaved.
  slot.path = *chosen;
  UpdateAllViews(DocumentNotice::Saved(index));
  return true;
}

}  // namespace velmora
