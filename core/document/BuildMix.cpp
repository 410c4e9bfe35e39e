// The mixdown driver: sizes and allocates the mix, settles the marks, and runs the kernel inline
// or on a worker thread at below-normal priority.

#include <cerrno>
#include <cstdint>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>
#include <utility>

#include "document/MixJobOfDocument.h"
#include "document/VelmoraDoc.h"
#include "io/AvailableMemory.h"
#include "mixdown/Mixdown.h"
#include "seams/Ui.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#elif defined(_WIN32)
#include <windows.h>
#endif

namespace velmora {

namespace {

// How far the worker's nice value is raised on Linux: one step below the user-interface and
// audio threads, as a below-normal thread priority is. More would only slow the first blocks of
// playback on a busy machine; the interactive threads sleep most of the time and win anyway.
constexpr int kWorkerNiceIncrement = 1;

void LowerCurrentThreadPriority() {
#if defined(__linux__)
  // Linux nice values are per thread when addressed by thread id.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) ::setpriority(PRIO_PROCESS, tid, nice + kWorkerNiceIncrement);
#elif defined(_WIN32)
  ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#endif
}

MixTarget TargetOf(CVelmoraDoc& doc) {
  MixTarget target;
  target.pcm = doc.mixBuffer.data();
  target.peaks = &doc.blockPeaks;
  target.corrections = &doc.corrections;
  target.cursor = &doc.mixCursor;
  target.stop = &doc.workerStop;
  return target;
}

// The kernel's run on either thread. workerBusy falls last, once everything is written.
int RunPreparedMix(CVelmoraDoc& doc, MixKernel& kernel) {
  doc.workerBusy.store(1, std::memory_order_release);
  kernel.Run(TargetOf(doc));
  doc.mixStale.store(0, std::memory_order_release);
  doc.workerBusy.store(0, std::memory_order_release);
  return 1;
}

// End mark after a rebuild: a mark the user set survives while it lies inside the new mix; an
// unset one (0 or the previous last frame, or no previous mix) follows the new end.
uint32_t SettleEndMark(uint32_t endMark, bool hadMix, uint32_t previousFrames, uint32_t frames) {
  const bool userSet = hadMix && endMark != 0 && endMark != previousFrames - 1;
  return userSet && endMark < frames ? endMark : frames - 1;
}

// No mix, and the program's message.
int FailOutOfMemory(CVelmoraDoc& doc) {
  doc.mixBuffer.Reset();
  doc.blockPeaks.Reset();
  doc.mixFrames = 0;
  doc.ui().ShowError(msg::kOutOfMemory);
  return 0;
}

}  // namespace

MixJob MakeMixJob(const CVelmoraDoc& doc) {
  MixJob job;
  for (int i = 0; i < kChannelCount; ++i) {
    const ChannelSlot& slot = doc.slots[i];
    MixSource& source = job.sources[i];
    source.data = slot.HasData() ? slot.data.data() : nullptr;
    source.frames = slot.frames;
    source.channels = slot.header.channels;
    source.bits = slot.header.bitsPerSample;
    source.rate = slot.header.samplesPerSec > 0 ? slot.Rate() : 0;
    source.selected = slot.selected;
    source.level = slot.level;
    source.autoLevel = slot.autoLevel;
    source.balance = slot.balance;
    source.offset = slot.offset;
  }
  job.fadeIn = doc.fadeIn;
  job.fadeOut = doc.fadeOut;
  job.monoPlayback = doc.monoPlayback;
  job.rate = doc.MixRate();
  job.bits = doc.MixBits() == 16 ? 16 : 8;
  job.frames = doc.mixFrames;
  job.blockFrames = doc.mixBlockFrames;
  job.position = doc.position;
  return job;
}

int CVelmoraDoc::BuildMix(uint32_t blockFrames, int runInWorker) {
  if (workerBusy.load(std::memory_order_acquire) == 1) {
    if (runInWorker != 0) return 1;
    // A synchronous build never frees what a running worker writes.
    WaitForWorker(false);
  }
  if (workerThread.joinable()) workerThread.join();

  const bool hadMix = HasMix();
  const uint32_t previousFrames = mixFrames;
  // The stale mix goes; its memory is kept aside until the new size is known, so that a rebuild
  // of the same length writes into pages that are already mapped.
  ByteBuffer previous;
  if (hadMix) {
    if (mixStale.load(std::memory_order_acquire) == 0) return 0;
    previous = std::move(mixBuffer);
    mixFrames = 0;
  }
  blockPeaks.Reset();
  std::vector<MixCorrection>().swap(corrections);
  if (!HasAnyChannel()) return 0;

  UpdateOutputFormat();
  MixJob job = MakeMixJob(*this);
  const uint64_t frames = MixLength(job.sources, job.rate);
  // An empty mix is no mix: there is nothing to play or save.
  if (frames < position || frames == 0) return 0;
  // Frame indexes are 32-bit: a longer mix cannot be held.
  if (frames > std::numeric_limits<uint32_t>::max()) return FailOutOfMemory(*this);

  blockFrames = blockFrames == 0 ? 1 : blockFrames;
  const int sampleBytes = job.bits / 8;
  job.frames = static_cast<uint32_t>(frames);
  job.blockFrames = blockFrames;
  // The marks are the user-interface thread's: they are settled here rather than by the kernel,
  // and the kernel mixes from the settled position.
  job.position = position >= job.frames ? 0 : position;
  const uint64_t bytes = frames * sampleBytes * 2;
  if (previous.size() == bytes) {
    mixBuffer = std::move(previous);
  } else {
    previous.Reset();
  }
  // The mix and its peak table are written whole: refused before either is taken when the system
  // cannot hold them together.
  const uint64_t peakBytes = (frames / blockFrames + 1) * 4;
  if (!mixBuffer.has() && !FitsInAvailableMemory(bytes + peakBytes)) return FailOutOfMemory(*this);
  MixKernel kernel;
  const bool allocated = (mixBuffer.has() || mixBuffer.Allocate(bytes)) &&
                         blockPeaks.Allocate(frames / blockFrames + 1, sampleBytes) &&
                         kernel.Prepare(job);
  if (!allocated) return FailOutOfMemory(*this);

  mixFrames = job.frames;
  endMark = SettleEndMark(endMark, hadMix, previousFrames, mixFrames);
  position = job.position;
  if (startMark >= mixFrames) startMark = 0;
  mixCursor.store(position, std::memory_order_release);
  mixBlockFrames = blockFrames;
  // Until the kernel finishes, the mix and its correction log are not current.
  mixStale.store(1, std::memory_order_release);

  if (runInWorker == 1) {
    workerBusy.store(1, std::memory_order_release);
    try {
      workerThread = std::thread([this, worker = std::move(kernel)]() mutable {
        LowerCurrentThreadPriority();
        RunPreparedMix(*this, worker);
      });
      return 1;
    } catch (const std::exception&) {
      // No thread to be had: mix here instead, with a kernel of our own again (the moved one
      // went with the thread that never started).
      workerBusy.store(0, std::memory_order_release);
      kernel = MixKernel{};
      if (!kernel.Prepare(job)) return FailOutOfMemory(*this);
    }
  }
  return RunPreparedMix(*this, kernel);
}

int CVelmoraDoc::Mixdown() {
  if (!mixBuffer.has() || !blockPeaks.has()) return 1;
  MixKernel kernel;
  if (!kernel.Prepare(MakeMixJob(*this))) {
    FailOutOfMemory(*this);
    return 1;
  }
  return RunPreparedMix(*this, kernel);
}

}  // namespace velmora
