#include "MixOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>

namespace velmora::cli {

const char* const kUsage =
    "usage: velmora-mix [options] OUTPUT.wav INPUT.wav [INPUT.wav ...]\n"
    "\n"
    "Renders the mix of one to four WAV (or WMA) files, loaded into channels 1 to 4 in order,\n"
    "and writes it as a 44-byte-header PCM WAV file exactly as Velmora's Save does. Each channel\n"
    "starts with its automatic level, balance 10, offset 0, and is selected.\n"
    "\n"
    "options:\n"
    "  --level N=POS           level slider position 0..200 of channel N (1..4)\n"
    "  --balance N=POS         balance 0..20 (10 = centre)\n"
    "  --offset N=MS           offset in whole milliseconds (-3600000..3600000)\n"
    "  --deselect N            channel N takes no part in the mix\n"
    "  --fade-in T=MS[:CURVE]  fade-in of channel T (1..4) or of the whole mix (T = all);\n"
    "  --fade-out T=MS[:CURVE] MS 0..100000, CURVE convex (default), concave or linear\n"
    "  --mono                  mono playback on\n"
    "  --start FRAME           the play position the mixdown starts from (default 0)\n"
    "  --block FRAMES          block length of the peak table (default: by mix rate as Save\n"
    "                          chooses it, 4096 for rates outside its table)\n"
    "  --marks START:END       write only mix frames START..END inclusive (either order;\n"
    "                          frames beyond the mix are left out)\n"
    "  --corrections FILE      write the clipping-correction runs, one line \"start count\"\n"
    "                          each (FILE - = standard output)\n"
    "  --peaks FILE            write the block peak table as raw little-endian bytes\n"
    "  --help                  show this help\n"
    "\n"
    "OUTPUT, the corrections file and the peaks file must be regular files or new names, none of\n"
    "them the same file as another or as an input.\n"
    "\n"
    "Exit status: 0 written; 1 an input could not be loaded (no output is touched) or a file\n"
    "could not be written; 2 the command line is wrong.\n";

namespace {

// A whole decimal number in [low, high]; nothing else in the text.
std::optional<int64_t> ParseInteger(const std::string& text, int64_t low, int64_t high) {
  if (text.empty()) return std::nullopt;
  const bool negative = text[0] == '-';
  const std::size_t digitsFrom = negative ? 1 : 0;
  if (digitsFrom == text.size()) return std::nullopt;
  if (!std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digitsFrom), text.end(),
                   [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  errno = 0;
  const long long value = std::strtoll(text.c_str(), nullptr, 10);
  if (errno == ERANGE || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseChannel(const std::string& text) {
  const std::optional<int64_t> n = ParseInteger(text, 1, kMaxInputs);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

std::optional<FadeCurve> ParseCurve(const std::string& text) {
  if (text == "convex") return FadeCurve::Convex;
  if (text == "concave") return FadeCurve::Concave;
  if (text == "linear") return FadeCurve::Linear;
  return std::nullopt;
}

// Splits "A<separator>B"; false when the separator is missing.
bool Split(const std::string& text, char separator, std::string& a, std::string& b) {
  const std::size_t at = text.find(separator);
  if (at == std::string::npos) return false;
  a = text.substr(0, at);
  b = text.substr(at + 1);
  return true;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParseResult Run() {
    std::vector<std::string> positional;
    bool optionsEnded = false;
    while (next_ < args_.size() && result_.error.empty()) {
      const std::string& arg = args_[next_++];
      if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
        positional.push_back(arg);
      } else if (arg == "--") {
        optionsEnded = true;
      } else {
        Option(arg);
      }
    }
    if (!result_.error.empty() || result_.options.help) return result_;
    if (positional.size() < 2) return Fail("an output file and at least one input file are needed");
    if (positional.size() > 1 + kMaxInputs) return Fail("at most four input files can be mixed");
    result_.options.output = positional[0];
    result_.options.inputs.assign(positional.begin() + 1, positional.end());
    CheckChannelsExist();
    return result_;
  }

 private:
  void Option(const std::string& name) {
    MixOptions& o = result_.options;
    if (name == "--help") {
      o.help = true;
    } else if (name == "--mono") {
      o.mono = true;
    } else if (name == "--level" || name == "--balance" || name == "--offset") {
      ChannelValue(name);
    } else if (name == "--deselect") {
      if (const auto value = Value(name)) {
        const std::optional<int> n = ParseChannel(*value);
        if (!n) return Bad(name, *value);
        Use(*n).deselect = true;
      }
    } else if (name == "--fade-in" || name == "--fade-out") {
      Fade(name);
    } else if (name == "--start" || name == "--block") {
      if (const auto value = Value(name)) {
        const int64_t low = name == "--block" ? 1 : 0;
        const auto n = ParseInteger(*value, low, std::numeric_limits<uint32_t>::max());
        if (!n) return Bad(name, *value);
        if (name == "--start") {
          o.start = static_cast<uint32_t>(*n);
        } else {
          o.blockFrames = static_cast<uint32_t>(*n);
        }
      }
    } else if (name == "--marks") {
      Marks(name);
    } else if (name == "--corrections" || name == "--peaks") {
      if (const auto value = Value(name)) {
        if (value->empty()) return Bad(name, *value);
        (name == "--corrections" ? o.correctionsPath : o.peaksPath) = *value;
      }
    } else {
      Fail("unknown option " + name);
    }
  }

  // --level N=POS, --balance N=POS, --offset N=MS
  void ChannelValue(const std::string& name) {
    const auto value = Value(name);
    if (!value) return;
    std::string channel, number;
    if (!Split(*value, '=', channel, number)) return Bad(name, *value);
    const std::optional<int> n = ParseChannel(channel);
    // The panel's ranges; an offset may also lie before the start, as a recorded take's may.
    const int64_t low = name == "--offset" ? -kOffsetMaxMs : 0;
    const int64_t high = name == "--level"     ? kLevelMax
                         : name == "--balance" ? kBalanceMax
                                               : kOffsetMaxMs;
    const std::optional<int64_t> v = ParseInteger(number, low, high);
    if (!n || !v) return Bad(name, *value);
    ChannelOptions& c = Use(*n);
    (name == "--level"     ? c.level
     : name == "--balance" ? c.balance
                           : c.offset) = static_cast<int32_t>(*v);
  }

  // --fade-in T=MS[:CURVE], --fade-out T=MS[:CURVE]
  void Fade(const std::string& name) {
    const auto value = Value(name);
    if (!value) return;
    std::string target, rest, ms, curveName = "convex";
    if (!Split(*value, '=', target, rest)) return Bad(name, *value);
    if (!Split(rest, ':', ms, curveName)) ms = rest;
    int index = kWholeMix;
    if (target != "all") {
      const std::optional<int> n = ParseChannel(target);
      if (!n) return Bad(name, *value);
      Use(*n);
      index = *n - 1;
    }
    const std::optional<int64_t> time = ParseInteger(ms, 0, kMaxFadeMs);
    const std::optional<FadeCurve> curve = ParseCurve(curveName);
    if (!time || !curve) return Bad(name, *value);
    auto& fades = name == "--fade-in" ? result_.options.fadeIn : result_.options.fadeOut;
    fades[index] = FadeSetting{*curve, static_cast<int32_t>(*time)};
  }

  void Marks(const std::string& name) {
    const auto value = Value(name);
    if (!value) return;
    std::string a, b;
    if (!Split(*value, ':', a, b)) return Bad(name, *value);
    const auto start = ParseInteger(a, 0, std::numeric_limits<uint32_t>::max());
    const auto end = ParseInteger(b, 0, std::numeric_limits<uint32_t>::max());
    if (!start || !end) return Bad(name, *value);
    result_.options.marks = FrameRange{static_cast<uint32_t>(std::min(*start, *end)),
                                       static_cast<uint32_t>(std::max(*start, *end))};
  }

  std::optional<std::string> Value(const std::string& name) {
    if (next_ >= args_.size()) {
      Fail(name + " needs a value");
      return std::nullopt;
    }
    return args_[next_++];
  }

  ChannelOptions& Use(int channel) {
    highestChannel_ = std::max(highestChannel_, channel);
    return result_.options.channels[channel - 1];
  }

  void CheckChannelsExist() {
    if (highestChannel_ > static_cast<int>(result_.options.inputs.size())) {
      Fail("channel " + std::to_string(highestChannel_) + " has no input file");
    }
  }

  void Bad(const std::string& name, const std::string& value) {
    Fail("bad value for " + name + ": '" + value + "'");
  }
  ParseResult Fail(const std::string& error) {
    if (result_.error.empty()) result_.error = error;
    return result_;
  }

  const std::vector<std::string>& args_;
  std::size_t next_ = 0;
  int highestChannel_ = 0;
  ParseResult result_;
};

}  // namespace

ParseResult ParseMixOptions(const std::vector<std::string>& args) {
  return Parser(args).Run();
}

namespace {

namespace fs = std::filesystem;

struct NamedFile {
  std::string role;  // how the usage error names it
  std::string path;
};

// Whether two names lead to one file: by device and inode when both exist, otherwise by the path
// they resolve to, so that two outputs not yet written are caught too.
bool SameFile(const std::string& a, const std::string& b) {
  const fs::path pa = fs::u8path(a);
  const fs::path pb = fs::u8path(b);
  std::error_code error;
  const bool equivalent = fs::equivalent(pa, pb, error);
  if (!error) return equivalent;
  if (fs::exists(pa, error) || fs::exists(pb, error)) return false;
  const fs::path ra = fs::weakly_canonical(fs::absolute(pa, error), error);
  const fs::path rb = fs::weakly_canonical(fs::absolute(pb, error), error);
  return !error && ra == rb;
}

// A pipe would hold the program until someone reads it, and a device or folder is no file to
// replace.
bool ExistsAndIsNotRegular(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(fs::u8path(path), error);
  return fs::exists(status) && !fs::is_regular_file(status);
}

}  // namespace

std::string CheckFiles(const MixOptions& options) {
  std::vector<NamedFile> outputs = {{"OUTPUT", options.output}};
  // "-" is standard output, not a file.
  if (options.correctionsPath && *options.correctionsPath != "-") {
    outputs.push_back({"the --corrections file", *options.correctionsPath});
  }
  if (options.peaksPath && *options.peaksPath != "-") {
    outputs.push_back({"the --peaks file", *options.peaksPath});
  }
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (ExistsAndIsNotRegular(outputs[i].path)) {
      return outputs[i].role + " '" + outputs[i].path + "' is not a regular file";
    }
    for (std::size_t j = i + 1; j < outputs.size(); ++j) {
      if (SameFile(outputs[i].path, outputs[j].path)) {
        return outputs[i].role + " and " + outputs[j].role + " are the same file";
      }
    }
    for (std::size_t n = 0; n < options.inputs.size(); ++n) {
      if (SameFile(outputs[i].path, options.inputs[n])) {
        return outputs[i].role + " is input " + std::to_string(n + 1) + " '" + options.inputs[n] +
               "'";
      }
    }
  }
  return {};
}

}  // namespace velmora::cli
