#pragma once
// velmora-mix's way to the document's mix: up to four files mixed in pieces, so that memory stays
// small whatever their length. A WAV input's samples stay in its file: loading reads them once
// for the automatic level, and mixing reads again only the frames each piece needs. Compressed
// inputs are decoded whole, as the document does. The mix is made from the play position to its
// end, then from frame 0, and each piece goes straight into the output file.
//
// Loading goes through the document's channel loader (its readers, checks, messages and rate
// rule), and the mix is the one the document's plan describes, so that the bytes written, the
// correction runs and the peak table are the document's for the same files and settings (its
// Open, BuildMix and Save). Used by one thread.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/ChannelSlot.h"
#include "document/MixPlan.h"
#include "document/VelmoraDoc.h"
#include "document/WavReader.h"
#include "io/ByteBuffer.h"
#include "io/ByteSource.h"
#include "io/Failure.h"
#include "mixdown/BlockPeakTable.h"
#include "mixdown/FadeCurve.h"
#include "mixdown/MixCorrection.h"
#include "mixdown/Mixdown.h"

namespace velmora {

class AudioDecoder;
class File;
class Ui;

class StreamingMix {
 public:
  // `decoder` may be null: compressed files are then refused with the document's message.
  StreamingMix(Ui& ui, AudioDecoder* decoder);
  ~StreamingMix();
  StreamingMix(const StreamingMix&) = delete;
  StreamingMix& operator=(const StreamingMix&) = delete;

  // Loads `path` into channel `index` (0..3) as the document's Open loads a file into a slot, and
  // fails as it does (the caller shows the failure). Channels are loaded in order.
  Result LoadChannel(int index, const std::string& path);

  // Mixer parameters of a loaded channel and of the mix, as the document's setters take them.
  void SetLevel(int index, int32_t level) { channels_[index].slot.level = level; }
  void SetBalance(int index, int32_t balance) { channels_[index].slot.balance = balance; }
  void SetOffset(int index, int32_t milliseconds) { channels_[index].slot.offset = milliseconds; }
  void SetSelected(int index, bool selected) { channels_[index].slot.selected = selected; }
  void SetMonoPlayback(bool on) { settings_.monoPlayback = on; }
  // Index 0..3 = channel 1..4, kWholeMix = the whole mix.
  void SetFadeIn(int index, FadeSetting fade) { settings_.fadeIn[index] = fade; }
  void SetFadeOut(int index, FadeSetting fade) { settings_.fadeOut[index] = fade; }
  // The frame mixing starts from (the document's play position).
  void SetPosition(uint32_t frame) { settings_.position = frame; }

  // Plans the mix as the document's BuildMix does, with peak blocks of `blockFrames` (absent: as
  // Save chooses them by the mix rate), and takes what mixing it needs; the peak table is kept
  // only `withPeaks`. Built, or what BuildMix returns when it makes no mix: NoChannels, Empty,
  // PositionBeyondEnd, or TooLong and OutOfMemory after the document's message.
  MixBuild Prepare(std::optional<uint32_t> blockFrames, bool withPeaks);
  // The format holds for an empty mix too.
  uint32_t mixFrames() const { return plan_.MakesMix() ? plan_.job.frames : 0; }
  uint32_t MixRate() const { return plan_.format.rate; }
  int MixBits() const { return plan_.format.bits; }

  // Mixes frames [first, first + count) of the prepared mix (inside it) and writes them as a WAV
  // file by the Save's rule: a file is replaced only once the new one is complete. With
  // `wholeMix` every frame is mixed, so that the correction runs and the peak table cover the
  // whole mix; otherwise only the frames written are. A failure is SaveFailed with the system's
  // reason, or ReadFailed naming an input that could no longer be read.
  Result WriteMixFile(const std::string& path, uint32_t first, uint32_t count, bool wholeMix);

  // What the mixing logged, in mixing order; final once WriteMixFile has returned.
  const std::vector<MixCorrection>& corrections() const { return corrections_; }
  // Absent unless prepared `withPeaks`.
  const BlockPeakTable& blockPeaks() const { return peaks_; }

  // Output frames mixed per piece; tests make pieces small. Before Prepare.
  void SetPieceFrames(uint32_t frames) { pieceFrames_ = frames == 0 ? 1 : frames; }
  static constexpr uint32_t kPieceFrames = 65536;
  // Pieces whose frames may be read ahead of the one being mixed, plus that one.
  static constexpr int kWindowSets = 4;
  // A piece of at least this many frames is mixed in two parts on two threads.
  static constexpr uint32_t kSplitFrames = 2 * MixKernel::kChunkFrames;

 private:
  struct Channel {
    ChannelSlot slot;  // format, frames and parameters; data only for a decoded compressed file
    FileSource file;   // a WAV input, read again by every piece
    uint64_t dataOffset = 0;
    // The frames that pieces read: the piece being mixed uses one set while the next ones are
    // read into the others.
    std::array<ByteBuffer, kWindowSets> windows;
  };
  // Frames [first, first + count) of the mix in pieces of `pieceFrames`.
  struct PieceRange {
    PieceRange(uint32_t first, uint32_t count, uint32_t pieceFrames)
        : first(first),
          count(count),
          pieceFrames(pieceFrames),
          pieces((uint64_t{count} + pieceFrames - 1) / pieceFrames) {}
    uint32_t Start(uint64_t j) const { return static_cast<uint32_t>(first + j * pieceFrames); }
    uint32_t Length(uint64_t j) const {
      return static_cast<uint32_t>(std::min<uint64_t>(pieceFrames, count - j * pieceFrames));
    }
    uint32_t first;
    uint32_t count;
    uint32_t pieceFrames;
    uint64_t pieces;
  };
  struct Output;
  struct PieceWindows;
  struct ReadAhead;
  class SecondThread;

  Result ScanPeak(Channel& channel);
  LoadedRates RatesLoaded() const;
  bool ReadsFromFile(const Channel& channel) const {
    return channel.slot.inUse && !channel.slot.HasData();
  }

  // The header and the mix into `file`, the new content of `path`.
  Result WriteContent(const std::string& path, File& file, uint32_t first, uint32_t count,
                      bool wholeMix);
  // Mixes [first, first + count) in pieces, in that order, into `target` and `out`.
  Result MixRange(uint32_t first, uint32_t count, const MixTarget& target, Output& out);
  void PlanWindows(uint32_t first, uint32_t count, PieceWindows& windows) const;
  // Reads the planned frames into window set `set` (on the second thread, where there is one).
  void ReadWindows(int set, PieceWindows& windows);
  // Mixes output frames [first, first + count) into `target`: the later part on the partner
  // thread with the partner kernel when the piece is long enough and both are there.
  void MixPiece(const MixTarget& target, uint32_t first, uint32_t count);
  // Where the later part of [first, first + count) starts; `first` = not split. With a peak
  // table the split falls on a block's start, so that the two parts share no table entry.
  uint32_t SplitPoint(uint32_t first, uint32_t count) const;
  // On the second thread: reads the range's pieces ahead of their mixing.
  void ReadPieces(const PieceRange& range, ReadAhead& ahead);
  // Reads piece j into its window set and says so; false when an input could not be read.
  bool ReadPiece(const PieceRange& range, uint64_t j, ReadAhead& ahead);

  Ui& ui_;
  AudioDecoder* decoder_;
  std::array<Channel, kChannelCount> channels_;
  MixSettings settings_;
  uint32_t pieceFrames_ = kPieceFrames;

  std::unique_ptr<SecondThread> helper_;  // reads the inputs beside the scanning and mixing
  MixPlan plan_;
  MixKernel kernel_;
  // The mixing is most of the work: a second kernel on its own thread takes half of each piece.
  std::unique_ptr<SecondThread> partner_;
  MixKernel partnerKernel_;
  bool partnerPrepared_ = false;
  std::vector<MixCorrection> partnerCorrections_;  // the later part's runs, joined after it
  ByteBuffer piece_;                               // one piece of the mix
  BlockPeakTable peaks_;
  std::vector<MixCorrection> corrections_;
};

}  // namespace velmora
