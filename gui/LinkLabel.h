#pragma once
// A single line of text drawn as a link (the given font, underlined, in the given colour) that
// reports a left click as a wxEVT_BUTTON command with its id. It has its own window, so a cursor
// set on it shows over the text only. Not focusable, like the static it stands for.

#include <wx/control.h>

namespace velmora {

class LinkLabel : public wxControl {
 public:
  LinkLabel(wxWindow* parent, wxWindowID id, const wxString& text, const wxFont& font,
            const wxColour& colour);

  bool AcceptsFocus() const override { return false; }

 protected:
  wxSize DoGetBestSize() const override;

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftUp(wxMouseEvent& event);
};

}  // namespace velmora
