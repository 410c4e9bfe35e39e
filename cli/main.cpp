// velmora-mix: renders a Velmora mix from the command line.

#include <signal.h>

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
// have ended it: the handler resets itself on entry, so the signal raised again is delivered with
// its default action once the handler returns.
extern "C" void OnInterrupt(int signal) {
  velmora::RemoveFileOnInterrupt();
  ::raise(signal);
}

// The signals whose default action ends the process and that come from outside it: a terminal
// or a pipe gone, kill, timers, the CPU and file-size limits, and the real-time signals. Faults of
// the program itself (SIGSEGV, SIGABRT, ...) keep their default, so that a core dump shows the
// state as it was.
std::vector<int> EndingSignals() {
  std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT,   SIGTERM, SIGPIPE, SIGALRM,
                              SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ};
#ifdef SIGPOLL
  signals.push_back(SIGPOLL);
#endif
#ifdef SIGPWR
  signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
  signals.push_back(SIGSTKFLT);
#endif
#ifdef SIGRTMIN
  for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) signals.push_back(signal);
#endif
  return signals;
}

// A signal ignored when the program starts (nohup, a background job of a shell script) stays
// ignored.
void RemoveTemporaryFileOnInterrupt() {
  const std::vector<int> signals = EndingSignals();
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  // No second signal may end the process between the handler's taking the name and removing the
  // file.
  sigemptyset(&action.sa_mask);
  for (const int signal : signals) sigaddset(&action.sa_mask, signal);
  for (const int signal : signals) {
    struct sigaction inherited {};
    if (::sigaction(signal, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
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
