#include "document/ChannelLoading.h"

#include "document/VelmoraDoc.h"
#include "seams/Ui.h"

namespace velmora {

ChannelFileKind KindOfChannelFile(const std::string& path) {
  const std::string extension = UpperExtension3(path);
  if (extension == "WAV") return ChannelFileKind::Wav;
  if (extension == "WMA") return ChannelFileKind::Compressed;
  return ChannelFileKind::Other;
}

namespace {

bool ReadWavChannel(Ui& ui, const RateRule& rateAccepted, const WavChannelReader& readWav,
                    ChannelSlot& slot) {
  const WavResult result = readWav(rateAccepted, slot);
  if (result.ok()) return true;
  ui.ShowError(WavErrorMessage(result.error));
  if (result.why) ui.ShowSystemReason(slot.path, result.why.message());
  return false;
}

bool ImportChannel(Ui& ui, AudioDecoder* decoder, const RateRule& rateAccepted, ChannelSlot& slot) {
  const ImportResult result = DecodeIntoSlot(decoder, rateAccepted, slot);
  ShowImportMessages(ui, result, slot.path);
  return result.ok();
}

}  // namespace

bool LoadChannelFile(Ui& ui, AudioDecoder* decoder, const RateRule& rateAccepted,
                     const WavChannelReader& readWav, ChannelSlot& slot) {
  slot.autoLevel = 0;
  bool loaded = false;
  switch (KindOfChannelFile(slot.path)) {
    case ChannelFileKind::Wav:
      loaded = ReadWavChannel(ui, rateAccepted, readWav, slot);
      break;
    case ChannelFileKind::Compressed:
      loaded = ImportChannel(ui, decoder, rateAccepted, slot);
      break;
    case ChannelFileKind::Other:
      ui.ShowError(msg::kWrongType);
      break;
  }
  if (!loaded) return false;
  if (slot.HasData()) {
    slot.autoLevel = AutoLevelFromSamples(slot.data.data(), slot.frames, slot.header.channels,
                                          slot.header.bitsPerSample);
  }
  slot.level = slot.autoLevel;
  slot.balance = kBalanceCentre;
  slot.offset = 0;
  slot.inUse = true;
  slot.selected = true;
  return true;
}

}  // namespace velmora
