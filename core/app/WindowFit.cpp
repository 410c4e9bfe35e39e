#include "app/WindowFit.h"

#include <algorithm>

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

}  // namespace velmora
