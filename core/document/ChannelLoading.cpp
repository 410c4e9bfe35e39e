#include "document/ChannelLoading.h"

#include "document/VelmoraDoc.h"

namespace velmora {

ChannelFileKind KindOfChannelFile(const std::string& path) {
  const std::string extension = UpperExtension3(path);
  if (extension == "WAV") return ChannelFileKind::Wav;
  if (extension == "WMA") return ChannelFileKind::Compressed;
  return ChannelFileKind::Other;
}

Result LoadChannelFile(AudioDecoder* decoder, const RateRule& rateAccepted,
                       const WavChannelReader& readWav, ChannelSlot& slot) {
  slot.autoLevel = 0;
  Result loaded;
  switch (KindOfChannelFile(slot.path)) {
    case ChannelFileKind::Wav:
      loaded = readWav(rateAccepted, slot);
      break;
    case ChannelFileKind::Compressed:
      loaded = DecodeIntoSlot(decoder, rateAccepted, slot);
      break;
    case ChannelFileKind::Other:
      loaded = FailureOf(FailureKind::WrongType);
      break;
  }
  if (!loaded) {
    if (loaded.failure().where.empty()) loaded.failure().where = slot.path;
    return loaded;
  }
  if (slot.HasData()) {
    slot.autoLevel = AutoLevelFromSamples(slot.data.data(), slot.frames, slot.header.channels,
                                          slot.header.bitsPerSample);
  }
  slot.level = slot.autoLevel;
  slot.balance = kBalanceCentre;
  slot.offset = 0;
  slot.inUse = true;
  slot.selected = true;
  return {};
}

}  // namespace velmora
