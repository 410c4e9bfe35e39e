// velmora-mix: renders a Velmora mix from the command line.

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "MixOptions.h"
#include "RenderMix.h"
#include "io/InterruptCleanup.h"

#ifdef VELMORA_MIX_WITH_MEDIA
#include "media/FfmpegAudioDecoder.h"
#endif

namespace {

// An interrupted run leaves no half-written temporary file behind, then ends as the signal would
// have ended it.
extern "C" void OnInterrupt(int signal) {
  velmora::RemoveFileOnInterrupt();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void RemoveTemporaryFileOnInterrupt() {
  for (const int signal : {SIGINT, SIGTERM}) std::signal(signal, OnInterrupt);
}

int UsageError(const std::string& error) {
  std::fprintf(stderr, "velmora-mix: %s\n\n%s", error.c_str(), velmora::cli::kUsage);
  return velmora::cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velmora::cli;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = ParseMixOptions(args);
  if (!parsed.error.empty()) return UsageError(parsed.error);
  if (parsed.options.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (const std::string error = CheckFiles(parsed.options); !error.empty()) {
    return UsageError(error);
  }
  RemoveTemporaryFileOnInterrupt();
  ConsoleUi ui;
#ifdef VELMORA_MIX_WITH_MEDIA
  velmora::FfmpegAudioDecoder decoder;
  return RenderMix(parsed.options, ui, &decoder);
#else
  return RenderMix(parsed.options, ui, nullptr);
#endif
}
