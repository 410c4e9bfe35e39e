#pragma once
// File-chooser details that the window layer needs from the program's filter strings.

#include <string>

namespace velmora {

// "label|patterns|label|patterns||" as the program states it, without the closing "||". With
// anyCase, each letter of a pattern matches either case ("*.wav" becomes "*.[wW][aA][vV]"), for
// toolkits whose patterns are case-sensitive.
std::string ToolkitWildcard(const std::string& filter, bool anyCase);

// The chosen path with ".ext" appended when its file name has no extension, as the save chooser
// of the original platform did; unchanged when ext is empty.
std::string WithDefaultExtension(const std::string& path, const std::string& ext);

}  // namespace velmora
