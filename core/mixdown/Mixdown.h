#pragma once
// The mixdown kernel: the selected channels become one stereo PCM buffer with level, balance,
// mono folding, channel and whole-mix fades, clamping with its correction log, and block peaks.
//
// The kernel reads only a MixJob, a copy of the document's inputs taken on the user-interface
// thread, so that a worker thread never reads a field that thread may change meanwhile. The
// sample data the job points to must stay unchanged until Run returns.

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "mixdown/BlockPeakTable.h"
#include "mixdown/ChannelParameters.h"
#include "mixdown/FadeCurve.h"
#include "mixdown/MixCorrection.h"

namespace velmora {

constexpr int kMixSources = 4;

// One channel as the kernel sees it.
struct MixSource {
  const uint8_t* data = nullptr;  // PCM as stored in the file; null = no channel
  uint32_t frames = 0;
  int channels = 1;  // 2 = stereo, anything else mono
  int bits = 8;      // 16 = signed 16-bit, anything else unsigned 8-bit
  uint32_t rate = 0;
  bool selected = false;
  int32_t level = kDefaultLevel;  // 0..kLevelMax, 0 = loudest
  int32_t autoLevel = kLevelMax;  // kLevelMax = silent channel, never mixed
  int32_t balance = kBalanceCentre;
  int32_t offset = 0;  // milliseconds on the mix time line
};

struct MixJob {
  std::array<MixSource, kMixSources> sources{};
  FadeSettings fadeIn{};
  FadeSettings fadeOut{};
  bool monoPlayback = false;
  uint32_t rate = 0;         // output rate R
  int bits = 16;             // output width: 16, otherwise 8
  uint32_t frames = 0;       // N
  uint32_t blockFrames = 1;  // B, at least 1
  uint32_t position = 0;     // first frame mixed, below N; mixing wraps to frame 0 at the end
};

// Where the kernel writes. The peak table, the cursor and the stop flag may be null.
struct MixTarget {
  uint8_t* pcm = nullptr;           // frames from pcmFirstFrame on, 2 × bits / 8 bytes each
  BlockPeakTable* peaks = nullptr;  // N / B + 1 entries of the output width
  std::vector<MixCorrection>* corrections = nullptr;
  // Frame being mixed, stored with release: every frame before it in mixing order is written.
  // Advanced a chunk of frames at a time; at the end it holds the last frame mixed.
  std::atomic<uint32_t>* cursor = nullptr;
  const std::atomic<bool>* stop = nullptr;  // true = end early (checked between chunks)
  uint32_t pcmFirstFrame = 0;               // the mix frame that pcm starts with
};

// Where a channel lies on the output time line, in whole frames.
struct ChannelPlacement {
  uint32_t ratio = 0;      // output rate / channel rate, integer division
  int64_t offsetOut = 0;   // offset in output frames
  int64_t offsetChan = 0;  // offset in channel frames
  int64_t end = 0;         // first output frame after the channel (may be <= 0)
  int64_t length = 0;      // (frames + offsetChan) × ratio: the channel's share of the mix length
};

// Placement of a loaded channel; a channel with no usable rate gets ratio 0 and length 0.
ChannelPlacement PlaceChannel(const MixSource& source, uint32_t mixRate);

// The mix length in frames: the longest placed length among the loaded channels, selected or
// not, 0 when none is positive. May exceed 32 bits.
uint64_t MixLength(const std::array<MixSource, kMixSources>& sources, uint32_t mixRate);

// Frames [first, first + count) of one channel.
struct FrameSpan {
  int64_t first = 0;
  uint32_t count = 0;
};

class MixKernel {
 public:
  // Takes the job and reserves the kernel's working memory; false when memory ran out.
  bool Prepare(const MixJob& job);
  // Mixes the job's frames into `target` from job.position, wrapping to frame 0. Call once after
  // Prepare; any thread may call it.
  void Run(const MixTarget& target);

  // The same mix piece by piece, for a caller that holds only part of each channel and of the
  // mix at a time. Pieces of any length follow Run's order (job.position to N, then 0 to
  // job.position) so that the correction runs come out as Run's; the target's peak table starts
  // silent. Called from one thread at a time.
  //
  // The channel frames that mixing output frames [first, first + count) reads from source
  // `index`; none (count 0) when the channel does not sound there.
  FrameSpan SourceFramesOf(int index, uint32_t first, uint32_t count) const;
  // Source `index` reads from `frames`, which holds its frames from `firstFrame` on, until the
  // next call; the job's data pointer is the window at frame 0 until then.
  void SetSourceWindow(int index, const uint8_t* frames, int64_t firstFrame);
  // Mixes output frames [first, first + count), which lie inside the mix, into `target`.
  void RunPiece(const MixTarget& target, uint32_t first, uint32_t count);

  static constexpr uint32_t kChunkFrames = 1024;

 private:
  // One channel's working state: where it sounds, its gains and its fades.
  struct Lane {
    bool active = false;
    const uint8_t* data = nullptr;  // holds the channel's frames from dataFirst on
    int64_t dataFirst = 0;
    bool stereo = false;
    bool wide = false;  // 16-bit source
    bool fold = false;  // stereo source folded to mono by balance (mono playback)
    int32_t scale = 1;  // 256 for an 8-bit source in a 16-bit mix
    int32_t balance = kBalanceCentre;
    double gain = 0;
    ChannelPlacement place;
    int64_t first = 0;  // first output frame that sounds
    int64_t stop = 0;   // output frame after the last that sounds
    FadeCurve inCurve = FadeCurve::Convex;
    FadeCurve outCurve = FadeCurve::Convex;
    uint32_t inFrames = 0;
    uint32_t outFrames = 0;
  };

  void MixChunk(uint32_t first, uint32_t count);
  void AddLane(const Lane& lane, uint32_t first, uint32_t count);
  // Level and balance of `frames` source frames from `p` into left/right, or added to them.
  void ApplyGain(const Lane& lane, const uint8_t* p, uint32_t frames, bool add, int32_t* left,
                 int32_t* right);
  void ApplyMixFades(uint32_t first, uint32_t count);
  // Clamps, logs, writes the chunk's sums and merges their peaks.
  void StoreChunk(const MixTarget& target, uint32_t first, uint32_t count);
  struct Peaks {
    int32_t left = 0;
    int32_t right = 0;
    bool clipped = false;  // a value lies outside the sample range
  };
  // Packs sums [from, to) of the chunk into stored_ as they are.
  Peaks PackPiece(uint32_t from, uint32_t to);
  // Clamps the sums [from, to) that lie outside the range and logs their frames.
  void ClampPiece(const MixTarget& target, uint32_t first, uint32_t from, uint32_t to);
  void MergePeak(BlockPeakTable& peaks, uint32_t entry, int32_t left, int32_t right) const;
  const std::array<double, 90>& StepsOf(FadeCurve curve, bool fadeOut) const;

  MixJob job_;
  std::array<Lane, kMixSources> lanes_;
  uint32_t mixInFrames_ = 0;
  uint32_t mixOutFrames_ = 0;
  // Factors of the 90 steps of the two sine curves: [Convex, Concave][fade-in, fade-out].
  std::array<std::array<std::array<double, 90>, 2>, 2> steps_{};
  // Per chunk: the sums, one channel's faded frames, its decoded source frames and their gains.
  std::vector<int32_t> sumLeft_, sumRight_, laneLeft_, laneRight_, sourceLeft_, sourceRight_;
  std::vector<int32_t> gainLeft_, gainRight_;  // per source frame, before holding
  std::vector<int16_t> stored_;  // the chunk's output samples, interleaved, before they are written
};

}  // namespace velmora
