#pragma once
// The FFmpeg implementation of core's AudioDecoder seam: reads Windows Media (ASF) files and
// delivers the first audio stream as interleaved signed 16-bit PCM at the stream's own rate,
// mono or stereo (more channels are folded to stereo). Creating one silences FFmpeg's console
// log for the whole process, so a load prints nothing but the program's own messages.

#include <memory>
#include <string>

#include "seams/AudioDecoder.h"

namespace velmora {

class FfmpegAudioDecoder final : public AudioDecoder {
 public:
  FfmpegAudioDecoder();
  // Codes: the file stream's (see FfmpegFileStream), FFmpeg's own when the file is not ASF or its
  // audio has no decoder, kCodeOutOfMemory.
  DecoderCode Open(const std::string& path, std::unique_ptr<DecodedStream>& stream) override;
};

}  // namespace velmora
