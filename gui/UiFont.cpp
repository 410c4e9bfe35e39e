#include "UiFont.h"

#include <wx/fontenum.h>
#include <wx/settings.h>

namespace velmora {

wxFont UiFont(int points) {
  static const char* const kFaces[] = {
#ifdef __WXMSW__
      "MS UI Gothic",
#endif
      "Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP", "IPAGothic",
      "IPAexGothic",      "VL Gothic",    "TakaoGothic"};
  for (const char* face : kFaces) {
    if (wxFontEnumerator::IsValidFacename(face)) {
      return wxFont(wxFontInfo(points).FaceName(face));
    }
  }
  wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT);
  font.SetPointSize(points);
  return font;
}

}  // namespace velmora
