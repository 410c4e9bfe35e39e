#pragma once
// printf-style formatting of the program's message templates ("チャンネル%dの…") into UTF-8.

#include <string>

namespace velmora {

std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

}  // namespace velmora
