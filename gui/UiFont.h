#pragma once
// The Japanese user-interface font of the forms and dialogs.

#include <wx/font.h>

namespace velmora {

// The first installed of the Japanese UI faces (Noto Sans CJK JP on Linux, MS UI Gothic on
// Windows, then common alternatives), else the system's GUI font, at `points`.
wxFont UiFont(int points);

}  // namespace velmora
