// Opening files into channel slots: the Open command and the document's own load steps.

#include <utility>

#include "document/ChannelLoading.h"
#include "document/FailureMessages.h"
#include "document/VelmoraDoc.h"
#include "document/WavReader.h"
#include "io/ByteBuffer.h"
#include "seams/Ui.h"

namespace velmora {

void CVelmoraDoc::OpenFileCommand() {
  FileDialogRequest request;
  request.filter = "Velmora ﾌｧｲﾙ(*.wav, *.wma)|*.wav;*.wma||";
  request.mustExist = true;
  const std::optional<std::string> chosen = ui_.ChooseOpenFile(request);
  if (!chosen) return;
  OpenPath(*chosen);
}

void CVelmoraDoc::OpenPath(const std::string& path) {
  const int index = FirstEmptySlot();
  if (index < 0) {
    ui_.ShowError(msg::kNoEmptySlot);
    return;
  }
  LoadIntoSlot(index, path);

  const bool wasModified = IsModified();
  SetModifiedFlag(true);
  UpdateAllViews();
  if (!wasModified && index == 0) SetModifiedFlag(false);
}

bool CVelmoraDoc::LoadIntoSlot(int index, const std::string& path) {
  ChannelSlot content;
  content.path = path;
  const bool loaded = ReadChannel(content);
  if (loaded) {
    // The marks go with a load; the step brings them back with the channel's former content.
    ApplyStep(ChangeList(ChannelContentChange{index, std::move(content), ChannelEvent::Loaded},
                         MarksChange{0, 0}));
    CompleteLoad();
    if (GetPathName().empty()) SetPathName(path);
  }
  if (outputPath_.empty()) SetTitle(msg::kUntitled);
  return loaded;
}

bool CVelmoraDoc::ReadChannel(ChannelSlot& content) {
  WaitCursor wait(ui_);
  // The document holds a WAV channel's samples whole.
  const WavChannelReader readWhole = [](const RateRule& rateAccepted, ChannelSlot& into) {
    WavFile file;
    Result result = ReadWavFile(into.path, rateAccepted, file);
    if (result) {
      into.header = file.header;
      into.dataChunk = file.dataChunk;
      into.data = std::move(file.samples);
      into.frames = file.frames;
    }
    return result;
  };
  const Result loaded = LoadChannelFile(
      audioDecoder_, [this](int32_t rate) { return IsRateCompatible(rate); }, readWhole, content);
  if (!loaded) ShowFailure(ui_, loaded.failure());
  return loaded.ok();
}

void CVelmoraDoc::CompleteLoad() {
  UpdateOutputFormat();
  SetMixStale(true);
  startMark_ = endMark_ = position_ = 0;
  endMarkRestored_ = false;
  transportState_ = TransportState::Stopped;
  paused_ = false;
}

}  // namespace velmora
