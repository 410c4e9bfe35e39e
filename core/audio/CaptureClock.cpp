#include "audio/CaptureClock.h"

#include <algorithm>
#include <cmath>

namespace velmora {

namespace {

void KeepLeast(std::optional<double>& least, double value) {
  least = least ? std::min(*least, value) : value;
}

}  // namespace

CaptureClock::CaptureClock(double rate) : rate_(rate) {}

void CaptureClock::Read(double now, uint32_t frames, bool overflowed) {
  // The library saw a loss of its own: what it dropped is measured like a hold-up's.
  // Its read holds the frames that follow the loss.
  if (overflowed && !placing_ && LagKnown()) BeginPlacing(now, true);
  frames_ += frames;
  lastProgress_ = now;
  anyProgress_ = true;
}

void CaptureClock::Looking(double now) {
  if (placing_ || !anyProgress_ || now - lastProgress_ < kHoldUpSeconds) return;
  if (LagKnown()) BeginPlacing(now, false);
}

void CaptureClock::BeginPlacing(double now, bool atHoldFrom) {
  placing_ = true;
  placeAtHoldFrom_ = atHoldFrom;
  holding_ = true;
  holdFrom_ = frames_;
  notBefore_ = frames_;
  backAt_ = now;
  referenceLag_ = LeastLag();
  settleStart_.reset();
  settledLeast_.reset();
}

void CaptureClock::Drained(double now) {
  lastProgress_ = now;
  anyProgress_ = true;
  // Before its first frames a stream may take a while to start: that is no lag.
  if (frames_ == 0) return;
  const double lag = now * rate_ - static_cast<double>(frames_);
  if (!placing_) {
    NoteLag(now, lag);
    return;
  }
  if (!settleStart_) settleStart_ = now;
  KeepLeast(settledLeast_, lag);
  lastDrained_ = now;
}

void CaptureClock::StopHolding(uint64_t firstFree) {
  holding_ = false;
  notBefore_ = std::max(notBefore_, firstFree);
}

std::optional<CaptureClock::Gap> CaptureClock::TakeGap(bool now) {
  if (!placing_) return std::nullopt;
  if (!now && (!settleStart_ || lastDrained_ - *settleStart_ < kLagWindowSeconds)) {
    return std::nullopt;
  }
  placing_ = false;
  holding_ = false;
  if (!settledLeast_) return std::nullopt;  // not caught up yet: nothing to measure
  const double lost = std::round(*settledLeast_ - referenceLag_);
  if (lost < kLeastGapSeconds * rate_) return std::nullopt;
  // The first frame captured after the reader came back, numbered as read (without the gap).
  const double fresh = placeAtHoldFrom_ ? static_cast<double>(holdFrom_)
                                        : std::round(backAt_ * rate_ - *settledLeast_);
  const auto at = static_cast<uint64_t>(
      std::clamp(fresh, static_cast<double>(notBefore_), static_cast<double>(frames_)));
  const auto frames = static_cast<uint32_t>(std::min<double>(lost, UINT32_MAX));
  frames_ += frames;
  return Gap{at, frames};
}

std::optional<uint64_t> CaptureClock::FrameAt(double time) const {
  if (placing_ || !LagKnown()) return std::nullopt;
  return static_cast<uint64_t>(std::max(std::round(time * rate_ - LeastLag()), 0.0));
}

bool CaptureClock::LagKnown() const {
  return windowLeast_ || previousLeast_;
}

double CaptureClock::LeastLag() const {
  if (windowLeast_ && previousLeast_) return std::min(*windowLeast_, *previousLeast_);
  return windowLeast_ ? *windowLeast_ : *previousLeast_;
}

void CaptureClock::NoteLag(double now, double lag) {
  if (!windowLeast_ || now - windowStart_ >= kLagWindowSeconds) {
    previousLeast_ = windowLeast_;
    windowLeast_ = lag;
    windowStart_ = now;
    return;
  }
  KeepLeast(windowLeast_, lag);
}

}  // namespace velmora
