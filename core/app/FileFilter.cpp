#include "app/FileFilter.h"

#include <cctype>
#include <vector>

namespace velmora {

namespace {

std::vector<std::string> SplitBars(const std::string& text) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = text.find('|', start);
    fields.push_back(text.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  while (!fields.empty() && fields.back().empty()) fields.pop_back();
  return fields;
}

std::string AnyCasePattern(const std::string& pattern) {
  std::string out;
  for (const char c : pattern) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80 && std::isalpha(u)) {
      out += '[';
      out += static_cast<char>(std::tolower(u));
      out += static_cast<char>(std::toupper(u));
      out += ']';
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

std::string ToolkitWildcard(const std::string& filter, bool anyCase) {
  const std::vector<std::string> fields = SplitBars(filter);
  std::string wildcard;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) wildcard += '|';
    const bool isPattern = i % 2 == 1;
    wildcard += isPattern && anyCase ? AnyCasePattern(fields[i]) : fields[i];
  }
  return wildcard;
}

std::string WithDefaultExtension(const std::string& path, const std::string& ext) {
  if (ext.empty()) return path;
  const std::size_t slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  if (path.find('.', nameStart) != std::string::npos) return path;
  return path + "." + ext;
}

}  // namespace velmora
