#pragma once
// Documents set up by hand: channels put into slots as a load leaves them, mixes that no build
// made, and the document's own fields for the states a test needs.

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "document/VelmoraDoc.h"

namespace velmora {

// Failure messages name BuildMix's results.
void PrintTo(MixBuild result, std::ostream* out);

namespace test {

struct ChannelFormat {
  int rate = 44100;
  int channels = 2;
  int bits = 16;
};

// Puts `bytes` (PCM as in a WAV data chunk, whole frames) into slot `index` as a load leaves it:
// canonical header, frames, auto level with the level at it, balance centre, offset 0, in use
// and selected, and a stale mix. The mix format and the marks are left alone.
ChannelSlot& PutChannel(CVelmoraDoc& doc, int index, ChannelFormat format,
                        const std::vector<uint8_t>& bytes);
// The same with `frames` silent frames.
ChannelSlot& PutSilence(CVelmoraDoc& doc, int index, ChannelFormat format, uint32_t frames);

// A current mix of `frames` silent stereo frames at `rate` Hz and `bits` bits, as a finished
// build leaves it, without running the mixdown. The marks and the peak table stay as they are.
void PutMix(CVelmoraDoc& doc, uint32_t frames, uint32_t rate = 44100, int bits = 16);

// The fields only the document writes, for tests that set up a state no command reaches.
class DocumentAccess {
 public:
  // A slot set by hand, as no change of the document would leave it.
  static ChannelSlot& slot(CVelmoraDoc& doc, int index) { return doc.slots_[index]; }
  static ByteBuffer& mixBuffer(CVelmoraDoc& doc) { return doc.mixBuffer_; }
  static uint32_t& mixFrames(CVelmoraDoc& doc) { return doc.mixFrames_; }
  static MixFormat& mixFormat(CVelmoraDoc& doc) { return doc.mixFormat_; }
  static BlockPeakTable& blockPeaks(CVelmoraDoc& doc) { return doc.blockPeaks_; }
  static uint32_t& mixBlockFrames(CVelmoraDoc& doc) { return doc.mixBlockFrames_; }
  static std::vector<MixCorrection>& corrections(CVelmoraDoc& doc) { return doc.corrections_; }
  static OutHeader& outHeader(CVelmoraDoc& doc) { return doc.outHeader_; }
  static std::string& outputPath(CVelmoraDoc& doc) { return doc.outputPath_; }
  static std::atomic<uint32_t>& mixCursor(CVelmoraDoc& doc) { return doc.mixCursor_; }
  static MixWorker& worker(CVelmoraDoc& doc) { return doc.worker_; }
  // A worker thread that has not been joined (finished or not).
  static bool WorkerThreadJoinable(CVelmoraDoc& doc) {
    return doc.worker_.workerThread_.joinable();
  }
  // workerBusy as the rules see it, with no thread behind it.
  static void SetWorkerBusy(CVelmoraDoc& doc, bool busy) {
    doc.worker_.workerBusy_.store(busy, std::memory_order_release);
  }
};

}  // namespace test
}  // namespace velmora
