#pragma once
// The command line of velmora-mix as plain data, and its parser.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mixdown/ChannelParameters.h"
#include "mixdown/FadeCurve.h"

namespace velmora::cli {

constexpr int kMaxInputs = 4;

struct ChannelOptions {
  std::optional<int32_t> level;
  std::optional<int32_t> balance;
  std::optional<int32_t> offset;
  bool deselect = false;
};

struct FrameRange {
  uint32_t first = 0;
  uint32_t last = 0;
};

struct MixOptions {
  std::string output;
  std::vector<std::string> inputs;  // channels 1..4 in order
  std::array<ChannelOptions, kMaxInputs> channels{};
  // Index 0..3 = channel 1..4, index 4 = the whole mix, as in the document.
  std::array<std::optional<FadeSetting>, 5> fadeIn{};
  std::array<std::optional<FadeSetting>, 5> fadeOut{};
  bool mono = false;
  uint32_t start = 0;
  std::optional<uint32_t> blockFrames;
  std::optional<FrameRange> marks;             // in order
  std::optional<std::string> correctionsPath;  // "-" = standard output
  std::optional<std::string> peaksPath;
  bool help = false;
};

struct ParseResult {
  MixOptions options;
  std::string error;  // empty = the command line is usable
};

// Parses the arguments after the program name.
ParseResult ParseMixOptions(const std::vector<std::string>& args);

// Checks the files a parsed command line names, before anything is read or written: no two of
// OUTPUT, the corrections file and the peaks file, and none of them and an input, may be the same
// file (the same device and inode once links are followed; the same resolved path while they do
// not exist yet), and an output that exists must be a regular file. Returns the usage error, or
// an empty text.
std::string CheckFiles(const MixOptions& options);

extern const char* const kUsage;

}  // namespace velmora::cli
