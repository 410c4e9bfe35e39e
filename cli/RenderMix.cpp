#include "RenderMix.h"

#include <cstdio>
#include <string>
#include <vector>

#include "document/StreamingMix.h"
#include "io/ReplacingFile.h"

namespace velmora::cli {

namespace {

// Every input goes into its channel before any output is touched.
bool LoadInputs(StreamingMix& mix, ConsoleUi& ui, const std::vector<std::string>& inputs) {
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    if (const Result loaded = mix.LoadChannel(static_cast<int>(i), inputs[i]); !loaded) {
      ui.ShowFailure(loaded.failure());
      return false;
    }
  }
  return true;
}

void ApplyOptions(StreamingMix& mix, const MixOptions& o) {
  for (std::size_t i = 0; i < o.inputs.size(); ++i) {
    const int channel = static_cast<int>(i);
    const ChannelOptions& c = o.channels[i];
    if (c.level) mix.SetLevel(channel, *c.level);
    if (c.balance) mix.SetBalance(channel, *c.balance);
    if (c.offset) mix.SetOffset(channel, *c.offset);
    if (c.deselect) mix.SetSelected(channel, false);
  }
  for (std::size_t i = 0; i < o.fadeIn.size(); ++i) {
    if (o.fadeIn[i]) mix.SetFadeIn(static_cast<int>(i), *o.fadeIn[i]);
    if (o.fadeOut[i]) mix.SetFadeOut(static_cast<int>(i), *o.fadeOut[i]);
  }
  mix.SetMonoPlayback(o.mono);
  mix.SetPosition(o.start);
}

// The frames to write: the whole mix, or the marked stretch cut to the mix.
FrameRange FramesToWrite(const StreamingMix& mix, const MixOptions& o, uint32_t& count) {
  count = 0;
  if (mix.mixFrames() == 0) return {};
  FrameRange range{0, mix.mixFrames() - 1};
  if (o.marks) {
    if (o.marks->first >= mix.mixFrames()) return {};
    range = {o.marks->first, std::min(o.marks->last, mix.mixFrames() - 1)};
  }
  count = range.last - range.first + 1;
  return range;
}

// "-" is standard output; anything else is written whole, as the mix is.
bool WriteOutputFile(ConsoleUi& ui, const std::string& path, const std::vector<uint8_t>& bytes) {
  if (path == "-") {
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                         std::fflush(stdout) == 0;
    if (!written) ui.Print("cannot write to standard output");
    return written;
  }
  const Result written = WriteWholeFile(path, {{bytes.data(), bytes.size()}});
  if (!written) ui.ShowFailure(written.failure());
  return written.ok();
}

std::vector<uint8_t> CorrectionLines(const StreamingMix& mix) {
  std::string text;
  for (const MixCorrection& run : mix.corrections()) {
    text += std::to_string(run.start) + " " + std::to_string(run.count) + "\n";
  }
  return std::vector<uint8_t>(text.begin(), text.end());
}

// The table as built, or one silent entry for a mix with no frames.
std::vector<uint8_t> PeakBytes(const StreamingMix& mix) {
  if (mix.blockPeaks().has()) return mix.blockPeaks().ToBytes();
  if (mix.MixBits() == 16) return {0, 0, 0, 0};
  return {128, 128};
}

}  // namespace

int RenderMix(const MixOptions& options, ConsoleUi& ui, AudioDecoder* decoder) {
  StreamingMix mix(ui, decoder);
  if (!LoadInputs(mix, ui, options.inputs)) return kExitFailed;
  ApplyOptions(mix, options);

  // Without --block the plan takes Save's block length for the mix rate it decides.
  switch (mix.Prepare(options.blockFrames, options.peaksPath.has_value())) {
    case MixBuild::OutOfMemory:
    case MixBuild::TooLong:
      return kExitFailed;  // the mix has said why
    case MixBuild::PositionBeyondEnd:
      ui.Print("--start " + std::to_string(options.start) + " lies beyond the end of the mix");
      std::fputs(kUsage, stderr);
      return kExitUsage;
    default:
      break;  // a mix, or channels that make none: written as a file with no samples
  }

  uint32_t count = 0;
  const FrameRange range = FramesToWrite(mix, options, count);
  // The correction runs and the peak table cover the whole mix, not only the frames written.
  const bool wholeMix = options.correctionsPath.has_value() || options.peaksPath.has_value();
  // An input that can no longer be read is named as its load would name it.
  if (const Result written = mix.WriteMixFile(options.output, range.first, count, wholeMix);
      !written) {
    ui.ShowFailure(written.failure());
    return kExitFailed;
  }
  if (options.correctionsPath &&
      !WriteOutputFile(ui, *options.correctionsPath, CorrectionLines(mix))) {
    return kExitFailed;
  }
  if (options.peaksPath && !WriteOutputFile(ui, *options.peaksPath, PeakBytes(mix))) {
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace velmora::cli
