#pragma once

#include <string>

class wxWindow;

namespace velmora::test {

// True once wx runs on a display; window tests skip otherwise.
bool WxReady();

// With VELMORA_SHOTS set to a folder, saves what the screen shows of `window` (with its frame
// where the window manager draws one) as NAME.png there; otherwise does nothing.
void SaveScreenshot(wxWindow& window, const std::string& name);

}  // namespace velmora::test
