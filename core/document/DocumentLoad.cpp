// Opening files into channel slots: the Open command and the document's own load steps.

#include <utility>

#include "document/ChannelLoading.h"
#include "document/VelmoraDoc.h"
#include "document/WavReader.h"
#include "io/ByteBuffer.h"
#include "seams/Ui.h"

namespace velmora {

const char* WavErrorMessage(WavError error) {
  switch (error) {
    case WavError::NotPcm:
      return msg::kNotPcm;
    case WavError::ShortHeader:
      return msg::kShortHeader;
    case WavError::UnsupportedFormat:
      return msg::kUnsupportedFormat;
    case WavError::RateMismatch:
      return msg::kRateMismatch;
    case WavError::OutOfMemory:
      return msg::kOutOfMemory;
    case WavError::CannotOpen:
    case WavError::TruncatedHeader:
    case WavError::NoDataChunk:
    case WavError::ReadFailed:
    case WavError::None:
      break;
  }
  return msg::kReadFailed;
}

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
    Apply(ChannelContentChange{index, std::move(content), ChannelEvent::Loaded});
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
    const WavResult result = ReadWavFile(into.path, rateAccepted, file);
    if (result.ok()) {
      into.header = file.header;
      into.dataChunk = file.dataChunk;
      into.data = std::move(file.samples);
      into.frames = file.frames;
    }
    return result;
  };
  return LoadChannelFile(
      ui_, audioDecoder_, [this](int32_t rate) { return IsRateCompatible(rate); }, readWhole,
      content);
}

void CVelmoraDoc::CompleteLoad() {
  UpdateOutputFormat();
  SetMixStale(true);
  startMark_ = endMark_ = position_ = 0;
  transportState_ = TransportState::Stopped;
  paused_ = false;
}

}  // namespace velmora
