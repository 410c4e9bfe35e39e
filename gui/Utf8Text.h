#pragma once
// The program's texts are UTF-8 (std::string); the toolkit takes them as wxString through U().

#include <wx/string.h>

#include <string>

namespace velmora {

inline wxString U(const std::string& utf8) {
  return wxString::FromUTF8(utf8.data(), utf8.size());
}

}  // namespace velmora
