#include "app/WindowFit.h"

#include <algorithm>
#include <cstdint>

namespace velmora {

ClientFit FitClientToWorkArea(PixelSize content, PixelSize decorations, PixelSize area,
                              int scrollBar) {
  const int roomAcross = std::max(area.width - decorations.width, 1);
  const int roomDown = std::max(area.height - decorations.height, 1);
  ClientFit fit;
  fit.scrollsDown = content.height > roomDown;
  fit.scrollsAcross = content.width + (fit.scrollsDown ? scrollBar : 0) > roomAcross;
  // A bar across the bottom may be what pushes the height past the room.
  if (fit.scrollsAcross && !fit.scrollsDown) {
    fit.scrollsDown = content.height + scrollBar > roomDown;
  }
  const int width = content.width + (fit.scrollsDown ? scrollBar : 0);
  const int height = content.height + (fit.scrollsAcross ? scrollBar : 0);
  fit.client = {std::min(width, roomAcross), std::min(height, roomDown)};
  return fit;
}

namespace {

// One direction of a rectangle, wide enough that no saved coordinate overflows it.
struct Span {
  int64_t start;
  int64_t length;
  int64_t end() const { return start + length; }
};

int64_t Overlap(Span a, Span b) {
  return std::max<int64_t>(0, std::min(a.end(), b.end()) - std::max(a.start, b.start));
}

// How far apart two spans lie; 0 when they touch or overlap.
int64_t Gap(Span a, Span b) {
  return std::max<int64_t>({0, b.start - a.end(), a.start - b.end()});
}

// The start of `frame` moved into `area`; the area's start when the frame is longer.
int MoveInto(Span frame, Span area) {
  const int64_t last = std::max(area.start, area.end() - frame.length);
  return static_cast<int>(std::clamp(frame.start, area.start, last));
}

}  // namespace

PixelPoint KeepOnWorkArea(PixelPoint saved, PixelSize frame, const std::vector<PixelRect>& areas) {
  if (areas.empty()) return saved;
  const Span across{saved.x, frame.width};
  const Span down{saved.y, frame.height};
  const PixelRect* best = nullptr;
  int64_t bestOverlap = 0;
  double bestGap = 0;
  for (const PixelRect& area : areas) {
    const Span areaAcross{area.x, area.width};
    const Span areaDown{area.y, area.height};
    const int64_t overlap = Overlap(across, areaAcross) * Overlap(down, areaDown);
    const double gapX = static_cast<double>(Gap(across, areaAcross));
    const double gapY = static_cast<double>(Gap(down, areaDown));
    const double gap = gapX * gapX + gapY * gapY;
    if (best == nullptr || overlap > bestOverlap ||
        (bestOverlap == 0 && overlap == 0 && gap < bestGap)) {
      best = &area;
      bestOverlap = overlap;
      bestGap = gap;
    }
  }
  return {MoveInto(across, {best->x, best->width}), MoveInto(down, {best->y, best->height})};
}

}  // namespace velmora
