// How long Play takes to get sound going on a one-hour mix of four channels that must first be
// built: from the play command to the first block queued on the device (the stream's open, which
// queues the first blocks). The mix is built on the background worker; Play waits only for its
// first 128 blocks. Prints the figures; checks nothing.
//
// Run: build/bench/velmora_bench_play_start

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <vector>

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
  ChannelSlot& slot = doc.slots[index];
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
  return true;
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

int Run() {
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
  Transport transport(doc, ui, form, timers, view, device);
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

}  // namespace
}  // namespace velmora

int main() {
  return velmora::Run();
}
