#pragma once
// The metronome's beat display: a borderless square window at the top left of the work area
// that shows the number of the beat sounding. The window layer draws it; tests record it.
// User-interface thread only.

#include <cstdint>
#include <string>

namespace velmora {

class BeatDisplay {
 public:
  virtual ~BeatDisplay() = default;
  // Makes the window `side` pixels square (its top-left corner stays), shows it without taking
  // the focus, fills it with `background` (0xRRGGBB) and draws `text` centred in navy, in the
  // gothic face with cells `fontHeight` pixels tall.
  virtual void Show(int side, const std::string& text, uint32_t background, int fontHeight) = 0;
  virtual void Hide() = 0;
};

}  // namespace velmora
