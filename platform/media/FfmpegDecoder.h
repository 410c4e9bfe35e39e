#pragma once
// The FFmpeg implementation of core's MediaDecoder seam: reads Windows Media (ASF) files and
// delivers the first audio stream as interleaved signed 16-bit PCM at the stream's own rate,
// mono or stereo (more channels are folded to stereo). Creating one silences FFmpeg's console
// log for the whole process, so a load prints nothing but the program's own messages.

#include <memory>

#include "seams/MediaDecoder.h"

namespace velmora {

std::unique_ptr<MediaDecoder> CreateFfmpegDecoder();

}  // namespace velmora
