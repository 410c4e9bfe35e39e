#pragma once

#include <string>

class wxWindow;

namespace velmora::test {

// True once wx runs on a display; window tests skip otherwise.
bool WxReady();

// With VELMORA_SHOTS set to a folder, saves what `window` shows (its client area and controls,
// without the window manager's frame) as NAME.png there; otherwise does nothing.
void SaveScreenshot(wxWindow& window, const std::string& name);

}  // namespace velmora::test
