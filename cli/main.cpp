// velmora-mix: renders a Velmora mix from the command line.

#include <cstdio>
#include <string>
#include <vector>

#include "ConsoleUi.h"
#include "MixOptions.h"
#include "RenderMix.h"

#ifdef VELMORA_MIX_WITH_MEDIA
#include "media/FfmpegAudioDecoder.h"
#endif

int main(int argc, char** argv) {
  using namespace velmora::cli;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = ParseMixOptions(args);
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "velmora-mix: %s\n\n%s", parsed.error.c_str(), kUsage);
    return kExitUsage;
  }
  if (parsed.options.help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  ConsoleUi ui;
#ifdef VELMORA_MIX_WITH_MEDIA
  velmora::FfmpegAudioDecoder decoder;
  return RenderMix(parsed.options, ui, &decoder);
#else
  return RenderMix(parsed.options, ui, nullptr);
#endif
}
