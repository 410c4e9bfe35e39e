#pragma once
// The tool-bar images (16 x 15 pixels) by command id.

class wxBitmap;

namespace velmora {

// An invalid bitmap for a command without an image.
wxBitmap ToolImage(int id);

}  // namespace velmora
