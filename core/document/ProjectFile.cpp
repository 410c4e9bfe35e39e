#include "document/ProjectFile.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <string_view>

#include "document/VelmoraDoc.h"

namespace velmora {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kMagic = "velmora-project";

// A path's '%' and line breaks as %25, %0A and %0D, so that every value fits its line.
struct Escape {
  char plain;
  std::string_view code;
};
constexpr Escape kEscapes[] = {{'%', "25"}, {'\n', "0A"}, {'\r', "0D"}};

std::string EscapePath(const std::string& path) {
  std::string out;
  for (const char c : path) {
    const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                      [c](const Escape& e) { return e.plain == c; });
    if (escape == std::end(kEscapes)) {
      out += c;
    } else {
      out += '%';
      out += escape->code;
    }
  }
  return out;
}

bool UnescapePath(std::string_view text, std::string& path) {
  path.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      path += text[i];
      continue;
    }
    const std::string_view code = text.substr(i + 1, 2);
    const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                      [code](const Escape& e) { return e.code == code; });
    if (escape == std::end(kEscapes)) return false;
    path += escape->plain;
    i += 2;
  }
  return true;
}

fs::path ProjectFolder(const std::string& projectPath) {
  return fs::absolute(fs::u8path(projectPath)).lexically_normal().parent_path();
}

// Relative to the project's folder when the file lies in it or below it.
std::string StoredPath(const std::string& file, const fs::path& folder) {
  if (file.empty()) return file;
  const fs::path whole = fs::absolute(fs::u8path(file)).lexically_normal();
  const fs::path relative = whole.lexically_relative(folder);
  if (relative.empty() || *relative.begin() == "..") return whole.u8string();
  return relative.generic_u8string();
}

bool ClimbsOut(const fs::path& relative) {
  for (const fs::path& part : relative) {
    if (part == "..") return true;
  }
  return false;
}

void WriteFade(std::ostringstream& out, const char* key, const FadeSetting& fade) {
  out << key << ' ' << static_cast<int>(fade.curve) << ' ' << fade.time << '\n';
}

// One line's key and the rest after the first space.
struct Line {
  std::string_view key;
  std::string_view value;
};

Line SplitLine(std::string_view line) {
  const std::size_t space = line.find(' ');
  if (space == std::string_view::npos) return {line, {}};
  return {line.substr(0, space), line.substr(space + 1)};
}

template <typename Int>
bool ReadNumber(std::string_view& text, Int& value, Int low, Int high) {
  const std::size_t end = text.find(' ');
  const std::string_view word = text.substr(0, end);
  Int parsed{};
  const auto [rest, error] = std::from_chars(word.data(), word.data() + word.size(), parsed);
  if (error != std::errc() || rest != word.data() + word.size() || parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
  return true;
}

bool ReadOnly(std::string_view text, int32_t& value, int32_t low, int32_t high) {
  return ReadNumber(text, value, low, high) && text.empty();
}

bool ReadFlag(std::string_view text, bool& flag) {
  int32_t value = 0;
  if (!ReadOnly(text, value, 0, 1)) return false;
  flag = value == 1;
  return true;
}

bool ReadFade(std::string_view text, FadeSetting& fade) {
  int32_t curve = 0;
  int32_t time = 0;
  if (!ReadNumber(text, curve, 0, 2) || !ReadNumber(text, time, 0, kMaxFadeMs) || !text.empty()) {
    return false;
  }
  fade = FadeSetting{static_cast<FadeCurve>(curve), time};
  return true;
}

bool ReadMarks(std::string_view text, Project& project) {
  return ReadNumber(text, project.startMark, 0u, UINT32_MAX) &&
         ReadNumber(text, project.endMark, 0u, UINT32_MAX) && text.empty();
}

bool ReadFile(std::string_view text, const fs::path& folder, std::string& file) {
  std::string path;
  if (text.empty() || !UnescapePath(text, path)) return false;
  const fs::path stored = fs::u8path(path);
  if (stored.is_absolute()) {
    file = stored.lexically_normal().u8string();
    return true;
  }
  if (ClimbsOut(stored)) return false;
  file = (folder / stored).lexically_normal().u8string();
  return true;
}

bool ReadChannelSetting(const Line& line, const fs::path& folder, ProjectChannel& channel) {
  if (line.key == "file") return ReadFile(line.value, folder, channel.file);
  if (line.key == "level") return ReadOnly(line.value, channel.level, 0, kLevelMax);
  if (line.key == "balance") return ReadOnly(line.value, channel.balance, 0, kBalanceMax);
  if (line.key == "offset") return ReadOnly(line.value, channel.offset, 0, kOffsetMaxMs);
  if (line.key == "selected") return ReadFlag(line.value, channel.selected);
  if (line.key == "fade-in") return ReadFade(line.value, channel.fadeIn);
  if (line.key == "fade-out") return ReadFade(line.value, channel.fadeOut);
  return false;
}

bool ReadProjectSetting(const Line& line, Project& project) {
  if (line.key == "output") return UnescapePath(line.value, project.outputPath);
  if (line.key == "mono") return ReadFlag(line.value, project.monoPlayback);
  if (line.key == "marks") return ReadMarks(line.value, project);
  if (line.key == "fade-in") return ReadFade(line.value, project.fadeIn);
  if (line.key == "fade-out") return ReadFade(line.value, project.fadeOut);
  return false;
}

Failure Unreadable(const std::string& projectPath, uint64_t line) {
  Failure failure = FailureOf(FailureKind::ProjectUnreadable, projectPath);
  failure.offset = line;
  return failure;
}

}  // namespace

bool operator==(const ProjectChannel& a, const ProjectChannel& b) {
  return a.file == b.file && a.level == b.level && a.balance == b.balance && a.offset == b.offset &&
         a.selected == b.selected && a.fadeIn.curve == b.fadeIn.curve &&
         a.fadeIn.time == b.fadeIn.time && a.fadeOut.curve == b.fadeOut.curve &&
         a.fadeOut.time == b.fadeOut.time;
}

bool operator==(const Project& a, const Project& b) {
  return a.channels == b.channels && a.fadeIn == b.fadeIn && a.fadeOut == b.fadeOut &&
         a.startMark == b.startMark && a.endMark == b.endMark && a.monoPlayback == b.monoPlayback &&
         a.outputPath == b.outputPath;
}

Project ProjectOf(const CVelmoraDoc& doc) {
  Project project;
  for (int i = 0; i < kChannelCount; ++i) {
    const ChannelSlot& slot = doc.slot(i);
    ProjectChannel& channel = project.channels[i];
    if (slot.HasData()) {
      channel.file = slot.path;
      channel.level = slot.level;
      channel.balance = slot.balance;
      channel.offset = slot.offset;
      channel.selected = slot.selected;
    }
    channel.fadeIn = doc.fadeIn()[i];
    channel.fadeOut = doc.fadeOut()[i];
  }
  project.fadeIn = doc.fadeIn()[kWholeMix];
  project.fadeOut = doc.fadeOut()[kWholeMix];
  project.startMark = doc.startMark();
  project.endMark = doc.endMark();
  project.monoPlayback = doc.monoPlayback();
  project.outputPath = doc.outputPath();
  return project;
}

std::string ProjectText(const Project& project, const std::string& projectPath) {
  const fs::path folder = ProjectFolder(projectPath);
  std::ostringstream out;
  out << kMagic << ' ' << kProjectVersion << '\n';
  out << "output " << EscapePath(project.outputPath) << '\n';
  out << "mono " << (project.monoPlayback ? 1 : 0) << '\n';
  out << "marks " << project.startMark << ' ' << project.endMark << '\n';
  WriteFade(out, "fade-in", project.fadeIn);
  WriteFade(out, "fade-out", project.fadeOut);
  for (int i = 0; i < kChannelCount; ++i) {
    const ProjectChannel& channel = project.channels[i];
    out << "channel " << i + 1 << '\n';
    if (!channel.file.empty())
      out << "file " << EscapePath(StoredPath(channel.file, folder)) << '\n';
    out << "level " << channel.level << '\n';
    out << "balance " << channel.balance << '\n';
    out << "offset " << channel.offset << '\n';
    out << "selected " << (channel.selected ? 1 : 0) << '\n';
    WriteFade(out, "fade-in", channel.fadeIn);
    WriteFade(out, "fade-out", channel.fadeOut);
  }
  return out.str();
}

Result ParseProject(const std::string& text, const std::string& projectPath, Project& project) {
  if (text.size() > kProjectMaxBytes || text.find('\0') != std::string::npos) {
    return Unreadable(projectPath, 0);
  }
  const fs::path folder = ProjectFolder(projectPath);
  Project read;
  std::array<bool, kChannelCount> seen{};
  int channel = -1;  // settings before the first "channel N" line are the project's
  std::string_view rest(text);
  for (uint64_t number = 1; !rest.empty(); ++number) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const Line split = SplitLine(line);
    if (number == 1) {
      int32_t version = 0;
      std::string_view value = split.value;
      if (split.key != kMagic || !ReadNumber(value, version, 0, INT32_MAX) || !value.empty()) {
        return Unreadable(projectPath, number);
      }
      if (version != kProjectVersion) {
        Failure failure = FailureOf(FailureKind::ProjectVersion, projectPath);
        failure.systemCode = version;
        return failure;
      }
      continue;
    }
    if (line.empty()) continue;
    bool taken = false;
    if (split.key == "channel") {
      int32_t n = 0;
      taken = ReadOnly(split.value, n, 1, kChannelCount) && !seen[n - 1];
      if (taken) {
        channel = n - 1;
        seen[channel] = true;
      }
    } else if (channel < 0) {
      taken = ReadProjectSetting(split, read);
    } else {
      taken = ReadChannelSetting(split, folder, read.channels[channel]);
    }
    if (!taken) return Unreadable(projectPath, number);
  }
  if (text.empty()) return Unreadable(projectPath, 0);
  project = std::move(read);
  return {};
}

}  // namespace velmora
