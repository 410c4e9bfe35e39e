#include "LinkLabel.h"

#include <wx/dcclient.h>

namespace velmora {

LinkLabel::LinkLabel(wxWindow* parent, wxWindowID id, const wxString& text, const wxFont& font,
                     const wxColour& colour)
    : wxControl(parent, id, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE) {
  SetLabelText(text);
  SetFont(font.Underlined());
  SetForegroundColour(colour);
  // The dialog's background shows through.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetInitialSize(DoGetBestSize());
  Bind(wxEVT_PAINT, &LinkLabel::OnPaint, this);
  Bind(wxEVT_LEFT_UP, &LinkLabel::OnLeftUp, this);
}

wxSize LinkLabel::DoGetBestSize() const {
  return GetTextExtent(GetLabelText());
}

void LinkLabel::OnPaint(wxPaintEvent&) {
  wxPaintDC dc(this);
  dc.SetBackground(wxBrush(GetParent()->GetBackgroundColour()));
  dc.Clear();
  dc.SetFont(GetFont());
  dc.SetTextForeground(GetForegroundColour());
  dc.DrawText(GetLabelText(), 0, 0);
}

void LinkLabel::OnLeftUp(wxMouseEvent& event) {
  if (GetClientRect().Contains(event.GetPosition())) {
    wxCommandEvent click(wxEVT_BUTTON, GetId());
    click.SetEventObject(this);
    ProcessWindowEvent(click);
  }
  event.Skip();
}

}  // namespace velmora
