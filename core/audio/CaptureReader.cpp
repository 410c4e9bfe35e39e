#include "audio/CaptureReader.h"

#include <algorithm>
#include <cmath>

namespace velmora {

CaptureReader::CaptureReader(PolledInput& input, InputStreamCallback& callback,
                             const WaveFormat& format, double queueSeconds)
    : input_(input),
      callback_(callback),
      frameBytes_(std::max<uint32_t>(format.blockAlign, 1)),
      leastRead_(static_cast<uint32_t>(std::max(1.0, format.samplesPerSec * kLeastReadSeconds))),
      clock_(format.samplesPerSec),
      capacity_(std::max<uint64_t>(static_cast<uint64_t>(format.samplesPerSec * queueSeconds),
                                   4 * uint64_t{leastRead_})) {
  // Not cleared: its pages are only touched as frames come, so a deep queue opens at once.
  queue_.reset(new uint8_t[capacity_ * frameBytes_]);
}

bool CaptureReader::Turn(double now) {
  if (failure_ != 0 || finished_) return false;
  // Finishing cannot wait for a hold-up's lag to settle: the held frames go with what is known.
  if (finishTime_ && clock_.Placing()) TakeGap(true);
  if (finishTime_ && !finishFrame_) {
    const std::optional<uint64_t> frame = clock_.FrameAt(*finishTime_);
    finishFrame_ = frame ? *frame - std::min(*frame, gapFrames_) : read_;
  }
  Hand(HandLimit());
  if (finishFrame_ && handed_ >= *finishFrame_) {
    finished_ = true;
    return false;
  }
  stuck_ = finishFrame_ && HandLimit() > handed_ && callback_.FramesWanted() == 0;
  const long ready = input_.FramesReady();
  if (ready < 0) {
    failure_ = static_cast<int>(ready);
    return false;
  }
  if (ready >= leastRead_ && read_ - handed_ == capacity_) {
    // Nowhere to put more: the sound system keeps it a while. Held frames filling the queue
    // must go on, or nothing would move again.
    if (clock_.Holding() && handed_ >= HoldFrom()) clock_.StopHolding(handed_ + gapFrames_);
    return false;
  }
  clock_.Looking(now);
  if (ready < leastRead_) {
    clock_.Drained(now);
    TakeGap();
    Hand(HandLimit());
    return false;
  }
  Read(now, ready);
  return failure_ == 0;
}

void CaptureReader::FinishAt(double time) {
  finishTime_ = time;
  finishFrame_.reset();
}

uint64_t CaptureReader::HandLimit() const {
  uint64_t limit = read_;
  if (clock_.Holding()) limit = std::min(limit, HoldFrom());
  if (finishFrame_) limit = std::min(limit, *finishFrame_);
  return limit;
}

uint64_t CaptureReader::HoldFrom() const {
  return clock_.holdFrom() - std::min(clock_.holdFrom(), gapFrames_);
}

void CaptureReader::Read(double now, long ready) {
  const uint64_t offset = read_ % capacity_;
  const uint64_t free = capacity_ - (read_ - handed_);
  const auto frames = static_cast<uint32_t>(
      std::min<uint64_t>({static_cast<uint64_t>(ready), free, capacity_ - offset}));
  bool overflowed = false;
  if (const int error = input_.Read(queue_.get() + offset * frameBytes_, frames, overflowed);
      error != 0) {
    failure_ = error;
    return;
  }
  read_ += frames;
  clock_.Read(now, frames, overflowed);
}

void CaptureReader::TakeGap(bool now) {
  const std::optional<CaptureClock::Gap> gap = clock_.TakeGap(now);
  if (!gap) return;
  // The clock numbers frames with the gaps before this one counted.
  gaps_.push_back(DueGap{gap->at - std::min(gap->at, gapFrames_), gap->frames});
  gapFrames_ += gap->frames;
}

void CaptureReader::Hand(uint64_t limit) {
  while (true) {
    if (!gaps_.empty() && gaps_.front().at <= handed_) {
      callback_.Overflowed(gaps_.front().frames);
      gaps_.pop_front();
      continue;
    }
    uint64_t end = std::min(limit, read_);
    if (!gaps_.empty()) end = std::min(end, gaps_.front().at);
    if (end <= handed_) return;
    const uint64_t offset = handed_ % capacity_;
    const auto frames = static_cast<uint32_t>(
        std::min<uint64_t>({end - handed_, capacity_ - offset, callback_.FramesWanted()}));
    if (frames == 0) return;
    callback_.Capture(queue_.get() + offset * frameBytes_, frames);
    handed_ += frames;
  }
}

}  // namespace velmora
