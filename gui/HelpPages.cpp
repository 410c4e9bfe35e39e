#include "HelpPages.h"

#include <wx/filesys.h>
#include <wx/html/htmlfilt.h>
#include <wx/html/htmlpars.h>
#include <wx/html/htmlwin.h>
#include <wx/stream.h>

#include <string>

namespace velmora {

namespace {

std::string ReadAll(wxInputStream& in) {
  std::string bytes;
  char chunk[4096];
  while (in.CanRead()) {
    in.Read(chunk, sizeof chunk);
    const size_t got = in.LastRead();
    if (got == 0) break;
    bytes.append(chunk, got);
  }
  return bytes;
}

// Pages are decoded with the charset of their <meta> tag; a page without one is UTF-8, as the
// program's own book is. Bytes that do not decode are shown one character each.
class HelpPageFilter : public wxHtmlFilter {
 public:
  bool CanRead(const wxFSFile& file) const override {
    const wxString extension = file.GetLocation().BeforeFirst('#').AfterLast('.').Lower();
    return extension == "htm" || extension == "html";
  }

  wxString ReadFile(const wxFSFile& file) const override {
    wxInputStream* in = file.GetStream();
    if (in == nullptr) return wxString();
    const std::string bytes = ReadAll(*in);
    const wxString latin(bytes.data(), wxConvISO8859_1, bytes.size());
    wxString charset = wxHtmlParser::ExtractCharsetInformation(latin);
    if (charset.empty()) charset = "UTF-8";
    const wxString page(bytes.data(), wxCSConv(charset), bytes.size());
    return page.empty() && !bytes.empty() ? latin : page;
  }
};

}  // namespace

void ReadHelpPagesAsHtml() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  wxHtmlWindow::AddFilter(new HelpPageFilter);  // the HTML window's module deletes it at exit
}

}  // namespace velmora
