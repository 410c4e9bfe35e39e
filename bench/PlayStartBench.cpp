// How long Play takes to get sound going, in two parts. Prints the figures; checks nothing.
//
// 1. On a one-hour mix of four channels that must first be built: from the play command to the
//    first block queued on the device (the stream's open, which queues the first blocks). The
//    mix is built on the background worker; Play waits only for its first 128 blocks. The sound
//    system is the virtual one, so this is the program's own part alone.
// 2. Through the real sound system into a PulseAudio null sink whose monitor is the default
//    source: Play to the first sample at the sink, and Pause to silence at the sink, measured on
//    a recording of the monitor (several runs, medians).
//
// Run: scripts/bench-play-start (starts a private PulseAudio server for part 2), or
// build/bench/velmora_bench_play_start [--sink] on a desktop whose default sink and source are
// a null sink and its monitor (--sink: part 2 only).

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <thread>
#include <vector>

#include "PortAudioBackend.h"
#include "audio/VirtualAudioBackend.h"
#include "audio/WaveDevice.h"
#include "document/VelmoraDoc.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/QuietUi.h"
#include "seams/Timers.h"
#include "seams/Ui.h"
#include "transport/Transport.h"
#include "view/ViewSettings.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

class PlainForm : public Form {
 public:
  void SetRange(int, int, int) override {}
  void SetPosition(int id, int position) override { positions_[id] = position; }
  int GetPosition(int id) const override {
    const auto it = positions_.find(id);
    return it == positions_.end() ? 0 : it->second;
  }
  void SetTickFrequency(int, int) override {}
  void SetText(int, const std::string&) override {}
  std::string GetText(int) const override { return {}; }
  void SelectAllAndFocus(int) override {}
  void Enable(int, bool) override {}
  void SetCheck(int, bool) override {}

 private:
  std::map<int, int> positions_;
};

class NoTimers : public Timers {
 public:
  void Start(int, int) override {}
  void Kill(int) override {}
};

// Notes when the first blocks reach the device.
class TimedBackend : public VirtualAudioBackend {
 public:
  OpenStreamResult OpenOutput(int device, const WaveFormat& format,
                              OutputStreamCallback& callback) override {
    opened = Clock::now();
    return VirtualAudioBackend::OpenOutput(device, format, callback);
  }
  Clock::time_point opened;
};

constexpr uint32_t kRate = 44100;
constexpr uint32_t kHourFrames = kRate * 3600;

bool LoadHour(CVelmoraDoc& doc, int index, int32_t offsetMs) {
  ChannelSlot slot;
  const std::size_t samples = std::size_t{kHourFrames} * 2;
  if (!slot.data.Allocate(samples * 2)) return false;
  auto* data = reinterpret_cast<int16_t*>(slot.data.data());
  for (std::size_t i = 0; i < samples; ++i) {
    data[i] = static_cast<int16_t>((i * (13 + 4 * index)) % 50000 - 25000);
  }
  FillCanonical(slot.header, slot.dataChunk, 2, kRate, 16, kHourFrames);
  slot.frames = kHourFrames;
  slot.inUse = true;
  slot.selected = true;
  slot.autoLevel = AutoLevelFromSamples(slot.data.data(), kHourFrames, 2, 16);
  slot.level = slot.autoLevel;
  slot.balance = 6 + 2 * index;
  slot.offset = offsetMs;
  doc.Apply(ChannelContentChange{index, std::move(slot), ChannelEvent::Loaded});
  return true;
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int RunBuildPart() {
  QuietUi ui(stderr);
  CVelmoraDoc doc(ui);
  for (int i = 0; i < 4; ++i) {
    if (!LoadHour(doc, i, i * 750)) {
      std::fprintf(stderr, "not enough memory for four one-hour channels\n");
      return 1;
    }
  }
  PlainForm form;
  NoTimers timers;
  ViewSettings view;  // 2048-frame blocks, as at 44100 Hz
  TimedBackend backend;
  WaveDevice device(backend);
  Transport transport(ViewContext{doc, ui, form, timers, view}, device);
  doc.SetFadeIn(kWholeMix, {FadeCurve::Convex, 5000});
  doc.SetFadeOut(kWholeMix, {FadeCurve::Convex, 5000});

  const uint32_t starts[] = {0, kHourFrames / 2, 0, kHourFrames / 3, 0};
  std::vector<double> figures;
  for (const uint32_t start : starts) {
    doc.SetMixStale(true);  // every Play builds the whole mix again
    form.SetPosition(ctl::kPositionSlider, static_cast<int>(start));
    const Clock::time_point command = Clock::now();
    transport.OnCommand(cmd::kPlay);
    if (!device.outputOpen) {
      std::fprintf(stderr, "playback did not start\n");
      return 1;
    }
    const double ms = Ms(backend.opened - command);
    figures.push_back(ms);
    std::printf(
        "play from frame %u: first block queued %.1f ms after the command (mix of %u frames)\n",
        start, ms, doc.mixFrames());
    transport.OnCommand(cmd::kStop);
    doc.WaitForWorker(true);
  }
  std::sort(figures.begin(), figures.end());
  std::printf(
      "one-hour four-channel mix, command to first block queued: median %.1f ms, worst %.1f ms "
      "over %zu plays\n",
      figures[figures.size() / 2], figures.back(), figures.size());

  // The same with the mix already current: Play only points the device at it.
  doc.WaitForWorker(false);
  doc.BuildMix(view.blockFrames, false);
  form.SetPosition(ctl::kPositionSlider, 0);
  const Clock::time_point command = Clock::now();
  transport.OnCommand(cmd::kPlay);
  std::printf("with the mix current: %.3f ms\n", Ms(backend.opened - command));
  transport.OnCommand(cmd::kStop);
  return 0;
}

// ---- Part 2: at the sink ----

// Records the monitor of the sink: the samples, and for every callback when it came and how many
// frames had come by then. A frame's time at the sink is then its index over the rate plus the
// smallest delay seen between a frame reaching the sink and its callback (the lower envelope:
// the monitor hands a frame on as soon as the sink has taken it, so the quickest callback shows
// the fixed offset, and later ones only add their own waiting).
class MonitorRecording : public InputStreamCallback {
 public:
  explicit MonitorRecording(std::size_t seconds)
      : samples_(seconds * kRate * 2), arrivals_(seconds * 1000) {}

  void Capture(const uint8_t* in, uint32_t frames) override {
    const Clock::time_point now = Clock::now();
    const std::size_t have = frames_.load(std::memory_order_relaxed);
    const std::size_t room = samples_.size() / 2 - have;
    const std::size_t take = std::min<std::size_t>(frames, room);
    std::memcpy(samples_.data() + have * 2, in, take * 4);
    const std::size_t n = count_.load(std::memory_order_relaxed);
    if (n < arrivals_.size()) {
      arrivals_[n] = Arrival{now, have + take};
      count_.store(n + 1, std::memory_order_release);
    }
    frames_.store(have + take, std::memory_order_release);
  }

  // Call once the stream is closed.
  std::size_t frames() const { return frames_.load(std::memory_order_acquire); }
  bool Silent(std::size_t frame) const {
    return samples_[frame * 2] == 0 && samples_[frame * 2 + 1] == 0;
  }
  // The time at which `frame` reached the sink.
  Clock::time_point TimeOf(std::size_t frame) const { return origin_ + FramesToDuration(frame); }
  // The frame that reached the sink at `time` (0 before the recording began).
  std::size_t FrameAt(Clock::time_point time) const {
    if (time <= origin_) return 0;
    const double seconds = std::chrono::duration<double>(time - origin_).count();
    return std::min(static_cast<std::size_t>(seconds * kRate), frames());
  }
  // Fixes the offset from the callbacks that came at or after `steady` (before it the sink may
  // still have been rendering far ahead, as an idle sink does).
  void Settle(Clock::time_point steady) {
    const std::size_t n = count_.load(std::memory_order_acquire);
    origin_ = Clock::time_point::max();
    for (std::size_t i = 0; i < n; ++i) {
      if (arrivals_[i].when < steady) continue;
      origin_ = std::min(origin_, arrivals_[i].when - FramesToDuration(arrivals_[i].framesSoFar));
    }
  }

 private:
  struct Arrival {
    Clock::time_point when;
    std::size_t framesSoFar = 0;
  };
  static Clock::duration FramesToDuration(std::size_t frames) {
    return std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(static_cast<double>(frames) / kRate));
  }

  std::vector<int16_t> samples_;
  std::vector<Arrival> arrivals_;
  std::atomic<std::size_t> frames_{0};
  std::atomic<std::size_t> count_{0};
  Clock::time_point origin_;
};

// A channel of a square wave that never touches zero, so that silence at the sink is ours.
bool LoadSquare(CVelmoraDoc& doc, uint32_t frames) {
  ChannelSlot slot;
  if (!slot.data.Allocate(std::size_t{frames} * 4)) return false;
  auto* data = reinterpret_cast<int16_t*>(slot.data.data());
  for (std::size_t i = 0; i < std::size_t{frames} * 2; ++i) {
    data[i] = static_cast<int16_t>((i / 2) % 100 < 50 ? 6000 : -6000);
  }
  FillCanonical(slot.header, slot.dataChunk, 2, kRate, 16, frames);
  slot.frames = frames;
  slot.inUse = true;
  slot.selected = true;
  slot.autoLevel = 100;
  slot.level = 100;
  slot.balance = 10;
  doc.Apply(ChannelContentChange{0, std::move(slot), ChannelEvent::Loaded});
  return true;
}

void Sleep(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

int RunSinkPart() {
  PortAudioBackend backend;
  std::string name;
  if (!backend.Initialised() || backend.DeviceName(StreamDirection::Input, kDefaultDevice, name)) {
    std::printf("at the sink: skipped, no sound system (run scripts/bench-play-start)\n");
    return 0;
  }
  QuietUi ui(stderr);
  CVelmoraDoc doc(ui);
  if (!LoadSquare(doc, kRate * 60)) return 1;
  PlainForm form;
  NoTimers timers;  // no refill needed: the first 128 blocks last six seconds
  ViewSettings view;
  WaveDevice device(backend);
  Transport transport(ViewContext{doc, ui, form, timers, view}, device);
  doc.BuildMix(view.blockFrames, false);

  // First, with nothing else on the sink: how soon the sound system takes the first block
  // (2048 frames, 46 ms) from the device, and the same with a second stream held open on the
  // device beforehand (the device's OpenHold; the program does not hold its output). A null sink
  // that has idled renders ahead by its largest latency and takes a fresh stream only at its
  // next turn.
  for (const bool held : {false, true}) {
    if (held) {
      device.OpenHold(kDefaultDevice);
      Sleep(2500);  // the sink settles with the held stream before the first Play
    }
    std::vector<double> firstBlock;
    for (int i = 0; i < 5; ++i) {
      form.SetPosition(ctl::kPositionSlider, 0);
      const Clock::time_point play = Clock::now();
      transport.OnCommand(cmd::kPlay);
      while (device.doneCount.load() == 0 && Clock::now() - play < std::chrono::seconds(5)) {
        Sleep(1);
      }
      firstBlock.push_back(Ms(Clock::now() - play));
      transport.OnCommand(cmd::kStop);
      Sleep(1500);
    }
    std::printf(
        "nothing else on the sink, %s: Play -> first block taken by the sound system median "
        "%.1f ms (worst %.1f) over %zu plays\n",
        held ? "a stream held open" : "no stream held", Median(firstBlock),
        *std::max_element(firstBlock.begin(), firstBlock.end()), firstBlock.size());
  }
  device.CloseHold();

  constexpr int kRuns = 9;
  MonitorRecording monitor(static_cast<std::size_t>(kRuns) * 2 + 8);
  const OpenStreamResult input =
      backend.OpenInput(kDefaultDevice, MakePcmFormat(kRate, 16, 2), monitor);
  if (!input.stream || input.stream->Start() != 0) {
    std::fprintf(stderr, "the monitor could not be recorded (error %d)\n", input.error);
    return 1;
  }
  Sleep(2500);  // the sink settles at the recording's latency before the first Play
  const Clock::time_point steady = Clock::now();

  struct Run {
    Clock::time_point play;
    Clock::time_point pause;
  };
  std::vector<Run> runs;
  for (int i = 0; i < kRuns; ++i) {
    form.SetPosition(ctl::kPositionSlider, 0);
    Run run;
    run.play = Clock::now();
    transport.OnCommand(cmd::kPlay);
    Sleep(500);
    run.pause = Clock::now();
    transport.OnCommand(cmd::kPause);
    Sleep(400);
    transport.OnCommand(cmd::kStop);
    Sleep(600);  // the sound system idles between plays, as between a user's
    runs.push_back(run);
  }
  Sleep(300);
  input.stream->Stop();
  monitor.Settle(steady);

  std::vector<double> toSound;
  std::vector<double> toSilence;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    std::size_t f = monitor.FrameAt(runs[i].play);
    while (f < monitor.frames() && monitor.Silent(f)) ++f;
    // Frames the sink got no sound for while it should have played (underruns), up to Pause.
    std::size_t gaps = 0;
    const std::size_t paused = std::max(monitor.FrameAt(runs[i].pause), f);
    for (std::size_t k = f; k < paused; ++k) gaps += monitor.Silent(k) ? 1 : 0;
    std::size_t g = paused;
    while (g < monitor.frames() && !monitor.Silent(g)) ++g;
    if (g >= monitor.frames()) {
      std::fprintf(stderr, "run %zu: the sound was not found in the recording\n", i + 1);
      return 1;
    }
    toSound.push_back(Ms(monitor.TimeOf(f) - runs[i].play));
    toSilence.push_back(Ms(monitor.TimeOf(g) - runs[i].pause));
    std::printf(
        "run %zu: Play -> first sample at the sink %.1f ms; Pause -> silence %.1f ms; %zu silent "
        "frames while playing\n",
        i + 1, toSound.back(), toSilence.back(), gaps);
  }
  std::printf(
      "at the sink over %zu runs: Play -> first sound median %.1f ms (worst %.1f), Pause -> "
      "silence median %.1f ms (worst %.1f)\n",
      runs.size(), Median(toSound), *std::max_element(toSound.begin(), toSound.end()),
      Median(toSilence), *std::max_element(toSilence.begin(), toSilence.end()));
  return 0;
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  const bool sinkOnly = argc > 1 && std::strcmp(argv[1], "--sink") == 0;
  if (!sinkOnly) {
    if (const int status = velmora::RunBuildPart(); status != 0) return status;
  }
  return velmora::RunSinkPart();
}
