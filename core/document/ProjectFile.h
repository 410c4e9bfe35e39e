#pragma once
// A project: which file sits in which channel and every setting of the mix, as a small UTF-8 text
// file that reopens the work as it was. The first line names the format and its version; then one
// setting a line, "key value", the channels' settings after their "channel N" line. A channel's
// file is written relative to the project's folder when it lies in it or below it.

#include <array>
#include <cstdint>
#include <string>

#include "document/ChannelSlot.h"
#include "io/Failure.h"
#include "mixdown/FadeCurve.h"

namespace velmora {

class CVelmoraDoc;

constexpr int kProjectVersion = 1;
// Larger text is not a project: it is refused before it is read.
constexpr std::size_t kProjectMaxBytes = 64 * 1024;

struct ProjectChannel {
  std::string file;  // absolute, or relative to the project's folder; empty = an empty channel
  int32_t level = kDefaultLevel;
  int32_t balance = kBalanceCentre;
  int32_t offset = 0;  // milliseconds
  bool selected = false;
  FadeSetting fadeIn;
  FadeSetting fadeOut;
};

struct Project {
  std::array<ProjectChannel, kChannelCount> channels;
  FadeSetting fadeIn;  // the whole mix's
  FadeSetting fadeOut;
  uint32_t startMark = 0;
  uint32_t endMark = 0;
  bool monoPlayback = false;
  std::string outputPath;
};

bool operator==(const ProjectChannel& a, const ProjectChannel& b);
bool operator==(const Project& a, const Project& b);

// What the document holds now, its files' paths as they are.
Project ProjectOf(const CVelmoraDoc& doc);

// The project's text for a file at `projectPath`.
std::string ProjectText(const Project& project, const std::string& projectPath);

// Reads a project's text from the file at `projectPath` into `project`, its channels' relative
// files made whole against the project's folder. Anything but a well-formed project of this
// version (a line it does not know, a value out of range, a relative path that climbs out with
// "..", binary or oversized text) fails with ProjectUnreadable (offset = the line), or
// ProjectVersion for another version, and leaves `project` as it was.
Result ParseProject(const std::string& text, const std::string& projectPath, Project& project);

}  // namespace velmora
