// Mixdown speed: the mix of four 10-minute 44100 Hz 16-bit stereo channels with offsets, levels,
// balances and whole-mix fades, beside a plain memcpy of the same input and output bytes; and
// how soon a worker build of a one-hour mix has its first 128 blocks ready.
//
//   build/bench/velmora_bench_mix [--benchmark_repetitions=N]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "document/VelmoraDoc.h"
#include "mixdown/Mixdown.h"
#include "seams/QuietUi.h"
#include "seams/Ui.h"

namespace velmora {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kBlock = 2048;  // the transport block at 44100 Hz
constexpr uint32_t kTenMinutes = 10 * 60 * kRate;
constexpr double kPi = 3.14159265358979;

// Music-like test signal: a few harmonics of a tone that changes every half second, with a slow
// swell and a little noise, so that neighbouring samples are close as in real recordings.
void FillChannel(ChannelSlot& slot, uint32_t frames, int seed) {
  if (!slot.data.Allocate(static_cast<std::size_t>(frames) * 4)) std::abort();
  std::vector<float> wave(4096);
  for (std::size_t i = 0; i < wave.size(); ++i) {
    const double t = 2 * kPi * static_cast<double>(i) / wave.size();
    wave[i] = static_cast<float>(0.6 * std::sin(t) + 0.25 * std::sin(3 * t + seed) +
                                 0.15 * std::sin(7 * t + 2 * seed));
  }
  uint32_t noise = 12345u + static_cast<uint32_t>(seed);
  double phaseL = 0;
  double phaseR = 0.25 * wave.size();
  double step = 0;
  uint8_t* out = slot.data.data();
  for (uint32_t f = 0; f < frames; ++f) {
    if (f % (kRate / 2) == 0) step = 40 + ((f / (kRate / 2)) * 37 + seed * 11) % 400;
    const double swell = 0.55 + 0.4 * std::sin(f * (2 * kPi / (7 * kRate)) + seed);
    phaseL = std::fmod(phaseL + step, wave.size());
    phaseR = std::fmod(phaseR + step * 1.01, wave.size());
    noise = noise * 1664525u + 1013904223u;
    const int jitter = static_cast<int>(noise >> 24) - 128;
    const auto l =
        static_cast<int16_t>(swell * 30000 * wave[static_cast<std::size_t>(phaseL)] + jitter);
    const auto r =
        static_cast<int16_t>(swell * 30000 * wave[static_cast<std::size_t>(phaseR)] - jitter);
    out[4 * f + 0] = static_cast<uint8_t>(l);
    out[4 * f + 1] = static_cast<uint8_t>(static_cast<uint16_t>(l) >> 8);
    out[4 * f + 2] = static_cast<uint8_t>(r);
    out[4 * f + 3] = static_cast<uint8_t>(static_cast<uint16_t>(r) >> 8);
  }
  slot.frames = frames;
  slot.header.channels = 2;
  slot.header.samplesPerSec = static_cast<int32_t>(kRate);
  slot.header.bitsPerSample = 16;
  slot.autoLevel = AutoLevelFromSamples(slot.data.data(), frames, 2, 16);
  slot.selected = true;
  slot.inUse = true;
}

// Four channels with offsets, levels, balances and whole-mix fades. `firstFrames` sets the length
// of channel 1 (the others last ten minutes).
std::unique_ptr<CVelmoraDoc> MakeDocument(Ui& ui, uint32_t firstFrames) {
  auto doc = std::make_unique<CVelmoraDoc>(ui);
  const int32_t offsets[] = {0, 1500, -700, 3000};
  // Gains of about half each channel's peak: the sum clips now and then.
  const double gains[] = {0.55, 0.45, 0.5, 0.4};
  const int32_t balances[] = {10, 4, 15, 8};
  for (int i = 0; i < kChannelCount; ++i) {
    ChannelSlot slot;
    FillChannel(slot, i == 0 ? firstFrames : kTenMinutes, i + 1);
    slot.level = 200 - static_cast<int32_t>(gains[i] * (200 - slot.autoLevel));
    slot.balance = balances[i];
    slot.offset = offsets[i];
    doc->Apply(ChannelContentChange{i, std::move(slot), ChannelEvent::Loaded});
  }
  doc->UpdateOutputFormat();
  doc->SetFadeIn(kWholeMix, {FadeCurve::Convex, 5000});
  doc->SetFadeOut(kWholeMix, {FadeCurve::Linear, 8000});
  doc->SetMixStale(true);
  return doc;
}

struct Fixture {
  QuietUi ui{stderr};
  std::unique_ptr<CVelmoraDoc> doc = MakeDocument(ui, kTenMinutes);
};

Fixture& TenMinutes() {
  static Fixture fixture;
  return fixture;
}

// Best wall-clock and thread-CPU seconds of each measurement. On a shared machine the CPU times
// are the steadier comparison; on an idle one the two agree.
struct Best {
  double wall = std::numeric_limits<double>::max();
  double cpu = std::numeric_limits<double>::max();
};
Best g_mix;
Best g_kernel;
Best g_copy;
double g_worstFirstBlocks = 0;

double Seconds(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// Times one run of `work` into `best` and reports its wall time to the benchmark.
template <class Work>
void Measure(benchmark::State& state, Best& best, Work&& work) {
  const double cpuStart = ThreadCpuSeconds();
  const auto start = Clock::now();
  work();
  const double seconds = Seconds(start, Clock::now());
  best.wall = std::min(best.wall, seconds);
  best.cpu = std::min(best.cpu, ThreadCpuSeconds() - cpuStart);
  state.SetIterationTime(seconds);
}

// BuildMix as the save commands and the mixer panel call it: allocation, kernel, peaks, log.
void BM_BuildMix(benchmark::State& state) {
  CVelmoraDoc& doc = *TenMinutes().doc;
  for (auto _ : state) {
    doc.SetMixStale(true);
    Measure(state, g_mix, [&] {
      if (doc.BuildMix(kBlock, false) != MixBuild::Built) state.SkipWithError("no mix");
    });
  }
  state.counters["frames"] = doc.mixFrames();
  state.counters["corrections"] = doc.correctionCount();
}
BENCHMARK(BM_BuildMix)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// The kernel alone into a buffer that is already mapped, as the copy below writes.
void BM_MixKernel(benchmark::State& state) {
  CVelmoraDoc& doc = *TenMinutes().doc;
  if (!doc.HasMix()) doc.BuildMix(kBlock, false);
  const MixJob job = doc.PlannedMix(kBlock).job;
  std::vector<uint8_t> pcm(static_cast<std::size_t>(job.frames) * 4, 0);
  BlockPeakTable peaks;
  peaks.Allocate(job.frames / kBlock + 1, 2);
  std::vector<MixCorrection> corrections;
  std::atomic<uint32_t> cursor{0};
  MixTarget target{pcm.data(), &peaks, &corrections, &cursor, nullptr};
  for (auto _ : state) {
    corrections.clear();
    Measure(state, g_kernel, [&] {
      MixKernel kernel;
      kernel.Prepare(job);
      kernel.Run(target);
    });
    if (std::memcmp(pcm.data(), doc.mixBuffer().data(), pcm.size()) != 0) {
      state.SkipWithError("kernel and BuildMix differ");
    }
  }
}
BENCHMARK(BM_MixKernel)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// memcpy of the same bytes: every input channel once, and a buffer the size of the mix once,
// into buffers that are already mapped.
void BM_CopySameBytes(benchmark::State& state) {
  CVelmoraDoc& doc = *TenMinutes().doc;
  std::vector<std::vector<uint8_t>> inputs;
  for (const ChannelSlot& slot : doc.slots()) inputs.emplace_back(slot.data.size(), 1);
  const std::size_t mixBytes = static_cast<std::size_t>(doc.mixFrames()) * 4;
  std::vector<uint8_t> mixSource(mixBytes, 2);
  std::vector<uint8_t> mixCopy(mixBytes, 3);
  for (auto _ : state) {
    Measure(state, g_copy, [&] {
      for (int i = 0; i < kChannelCount; ++i) {
        std::memcpy(inputs[i].data(), doc.slot(i).data.data(), inputs[i].size());
      }
      std::memcpy(mixCopy.data(), mixSource.data(), mixBytes);
      benchmark::ClobberMemory();
    });
  }
  std::size_t bytes = mixBytes;
  for (const auto& input : inputs) bytes += input.size();
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_CopySameBytes)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

// Play's worker build of a one-hour mix: time from BuildMix returning until 128 blocks are mixed.
void BM_WorkerFirst128Blocks(benchmark::State& state) {
  QuietUi ui(stderr);
  std::unique_ptr<CVelmoraDoc> doc = MakeDocument(ui, 60 * 60 * kRate);
  double buildCall = 0;
  for (auto _ : state) {
    doc->SetMixStale(true);
    doc->SetPosition(0);
    const auto start = Clock::now();
    if (doc->BuildMix(kBlock, true) != MixBuild::Building) state.SkipWithError("no mix");
    const auto returned = Clock::now();
    while (doc->workerBusy() && doc->mixCursor() < 128 * kBlock) {
      std::this_thread::yield();
    }
    const double seconds = Seconds(returned, Clock::now());
    buildCall = std::max(buildCall, Seconds(start, returned));
    state.SetIterationTime(seconds);
    g_worstFirstBlocks = std::max(g_worstFirstBlocks, seconds);
    doc->WaitForWorker(true);
  }
  state.counters["frames"] = doc->mixFrames();
  state.counters["BuildMix_ms"] = buildCall * 1000;
}
BENCHMARK(BM_WorkerFirst128Blocks)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  using velmora::g_copy;
  using velmora::g_kernel;
  using velmora::g_mix;
  std::printf(
      "\nbest of runs, wall (thread CPU) ms: BuildMix %.1f (%.1f), kernel %.1f (%.1f), "
      "memcpy of the same bytes %.1f (%.1f)\n",
      g_mix.wall * 1000, g_mix.cpu * 1000, g_kernel.wall * 1000, g_kernel.cpu * 1000,
      g_copy.wall * 1000, g_copy.cpu * 1000);
  std::printf(
      "BuildMix / copy = %.2f (CPU %.2f), kernel / copy = %.2f (CPU %.2f); goal: at most 3\n",
      g_mix.wall / g_copy.wall, g_mix.cpu / g_copy.cpu, g_kernel.wall / g_copy.wall,
      g_kernel.cpu / g_copy.cpu);
  std::printf(
      "worker build of a one-hour mix: first 128 blocks at most %.2f ms after BuildMix "
      "returned (goal: at most 20)\n",
      velmora::g_worstFirstBlocks * 1000);
  return 0;
}
