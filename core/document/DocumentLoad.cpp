// Opening files into channel slots: the Open command, the shared load steps and the WAV branch.

#include "document/ChannelLoading.h"
#include "document/VelmoraDoc.h"
#include "document/WavReader.h"
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
  ChannelSlot& slot = slots[index];
  slot.frames = 0;
  slot.header = RiffHeader{};
  slot.path = path;
  const bool loaded = LoadChannel(index);
  if (!loaded) slot.path.clear();
  if (outputPath_.empty()) SetTitle(msg::kUntitled);
  return loaded;
}

bool CVelmoraDoc::LoadChannel(int index) {
  ChannelSlot& slot = slots[index];
  const std::string extension = UpperExtension3(slot.path);
  WaitCursor wait(ui_);
  slot.autoLevel = 0;

  bool loaded = false;
  if (extension == "WAV") {
    loaded = LoadWav(index);
  } else if (extension == "WMA") {
    loaded = ImportCompressed(index);
  } else {
    ui_.ShowError(msg::kWrongType);
  }
  if (!loaded) return false;

  CompleteLoad(index);
  if (GetPathName().empty()) SetPathName(slot.path);
  return true;
}

bool CVelmoraDoc::LoadWav(int index) {
  ChannelSlot& slot = slots[index];
  WavFile file;
  const WavResult result = ReadWavFile(
      slot.path, [this](int32_t rate) { return IsRateCompatible(rate); }, file);
  if (!result.ok()) {
    ui_.ShowError(WavErrorMessage(result.error));
    if (result.why) ui_.ShowSystemReason(slot.path, result.why.message());
    return false;
  }
  slot.header = file.header;
  slot.dataChunk = file.dataChunk;
  slot.data = std::move(file.samples);
  slot.frames = file.frames;
  return true;
}

void CVelmoraDoc::CompleteLoad(int index) {
  ChannelSlot& slot = slots[index];
  slot.autoLevel = AutoLevelFromSamples(slot.data.data(), slot.frames, slot.header.channels,
                                        slot.header.bitsPerSample);
  UpdateOutputFormat();
  slot.level = slot.autoLevel;
  slot.balance = kBalanceCentre;
  slot.offset = 0;
  slot.inUse = true;
  slot.selected = true;
  SetMixStale(true);
  startMark_ = endMark_ = position_ = 0;
  transportState_ = TransportState::Stopped;
  paused_ = false;
}

}  // namespace velmora
