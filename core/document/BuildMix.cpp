// The mixdown driver: allocates the planned mix, settles the marks, and runs the kernel inline or
// on the worker thread.

#include <cstdint>
#include <utility>

#include "document/VelmoraDoc.h"
#include "io/AvailableMemory.h"
#include "mixdown/Mixdown.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

// End mark after a rebuild: a mark the user set survives while it lies inside the new mix; an
// unset one (0 or the previous last frame, or no previous mix unless the mark was `restored`)
// follows the new end.
uint32_t SettleEndMark(uint32_t endMark, bool hadMix, bool restored, uint32_t previousFrames,
                       uint32_t frames) {
  const bool userSet = (hadMix || restored) && endMark != 0 && endMark != previousFrames - 1;
  return userSet && endMark < frames ? endMark : frames - 1;
}

}  // namespace

MixPlan CVelmoraDoc::PlannedMix(std::optional<uint32_t> blockFrames) const {
  return PlanMix(MixChannelsOf(slots_), MixSettings{fadeIn_, fadeOut_, monoPlayback_, position_},
                 blockFrames);
}

// No mix, and the program's message.
MixBuild CVelmoraDoc::FailOutOfMemory(MixBuild result) {
  ResetMix();
  ui_.ShowError(msg::kOutOfMemory);
  return result;
}

void CVelmoraDoc::RunKernel(MixKernel& kernel, uint32_t generation) {
  MixTarget target;
  target.pcm = mixBuffer_.data();
  target.peaks = &blockPeaks_;
  target.corrections = &corrections_;
  target.cursor = &mixCursor_;
  target.stop = &worker_.stopFlag();
  kernel.Run(target);
  // A change counted meanwhile keeps the mix stale: this build did not see it.
  builtCount_.store(generation, std::memory_order_release);
}

MixBuild CVelmoraDoc::BuildMix(std::optional<uint32_t> blockFrames, bool runInWorker) {
  if (workerBusy() && runInWorker) return MixBuild::Building;
  // A synchronous build never frees what a running worker writes.
  worker_.Wait();

  const bool hadMix = HasMix();
  const uint32_t previousFrames = mixFrames_;
  // The stale mix goes; its memory is kept aside until the new size is known, so that a rebuild
  // of the same length writes into pages that are already mapped.
  ByteBuffer previous;
  if (hadMix) {
    if (!mixStale()) return MixBuild::AlreadyCurrent;
    previous = std::move(mixBuffer_);
    mixFrames_ = 0;
    mixFormat_ = MixFormat{};
  }
  blockPeaks_.Reset();
  std::vector<MixCorrection>().swap(corrections_);

  const MixPlan plan = PlannedMix(blockFrames);
  if (plan.outcome == MixBuild::NoChannels) return plan.outcome;
  UpdateOutputFormat();
  if (plan.outcome == MixBuild::TooLong) return FailOutOfMemory(plan.outcome);
  if (!plan.MakesMix()) return plan.outcome;

  const MixJob& job = plan.job;
  const uint64_t bytes = plan.PcmBytes();
  if (previous.size() == bytes) {
    mixBuffer_ = std::move(previous);
  } else {
    previous.Reset();
  }
  // The mix and its peak table are written whole: refused before either is taken when the system
  // cannot hold them together.
  if (!mixBuffer_.has() && !FitsInAvailableMemory(bytes + plan.PeakEntries() * 4)) {
    return FailOutOfMemory(MixBuild::OutOfMemory);
  }
  MixKernel kernel;
  const bool allocated = (mixBuffer_.has() || mixBuffer_.Allocate(bytes)) &&
                         blockPeaks_.Allocate(plan.PeakEntries(), plan.SampleBytes()) &&
                         kernel.Prepare(job);
  if (!allocated) return FailOutOfMemory(MixBuild::OutOfMemory);

  mixFrames_ = job.frames;
  mixFormat_ = plan.format;
  endMark_ = SettleEndMark(endMark_, hadMix, endMarkRestored_, previousFrames, mixFrames_);
  endMarkRestored_ = false;
  // The marks are the user-interface thread's: they are settled here rather than by the kernel,
  // and the kernel mixes from the position the plan settled.
  position_ = job.position;
  if (startMark_ >= mixFrames_) startMark_ = 0;
  mixCursor_.store(position_, std::memory_order_release);
  mixBlockFrames_ = job.blockFrames;
  // Until the kernel finishes, the mix and its correction log are not current. The build is made
  // from the parameters as they stand now: a change after this one is not in it.
  SetMixStale(true);
  const uint32_t generation = changeCount_.load(std::memory_order_relaxed);

  if (runInWorker) {
    if (worker_.Start([this, generation, work = std::move(kernel)]() mutable {
          RunKernel(work, generation);
        })) {
      return MixBuild::Building;
    }
    // No thread to be had: mix here instead, with a kernel of our own again (the moved one went
    // with the thread that never started).
    kernel = MixKernel{};
    if (!kernel.Prepare(job)) return FailOutOfMemory(MixBuild::OutOfMemory);
  }
  RunKernel(kernel, generation);
  return MixBuild::Built;
}

}  // namespace velmora
