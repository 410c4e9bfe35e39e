#pragma once
// How the view writes times: the position display, the correction list's positions and lengths.

#include <cstdint>
#include <string>

namespace velmora {

// The time display of a number of milliseconds: "%02d:%02d.%03d", minutes (not limited to two
// digits), seconds, milliseconds.
std::string FormatPlayTime(uint32_t ms);

// The position time of a mix frame, m = frame / rate × 1000 truncated, as "%02d:%02d.%03d"
// (minutes, seconds, milliseconds; minutes may grow). "00:00.000" while there is no rate.
std::string PositionTimeText(uint32_t frame, uint32_t rate);

// A correction's position "%02d:%02d.%06d" and length "%d.%06d秒", in microseconds.
std::string FormatCorrectionPosition(uint32_t frame, int32_t rate);
std::string FormatCorrectionLength(uint32_t frames, int32_t rate);

}  // namespace velmora
