#include "HelpPages.h"

#include <wx/filesys.h>
#include <wx/html/htmlfilt.h>
#include <wx/html/htmlpars.h>
#include <wx/html/htmlwin.h>
#include <wx/html/m_templ.h>
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

// The HTML view breaks lines only at spaces, so a Japanese paragraph would run off the window's
// right edge as one word. Each <wbr> marks a place where a line may break.
TAG_HANDLER_BEGIN(WBR, "WBR")
TAG_HANDLER_CONSTR(WBR) {}
TAG_HANDLER_PROC(tag) {
  (void)tag;
  auto* breakable = new wxHtmlWordCell(wxString(), *m_WParser->GetDC());
  m_WParser->ApplyStateToCell(breakable);
  m_WParser->GetContainer()->InsertCell(breakable);
  return false;
}
TAG_HANDLER_END(WBR)

TAGS_MODULE_BEGIN(LineBreaks)
TAGS_MODULE_ADD(WBR)
TAGS_MODULE_END(LineBreaks)

bool IsWide(wxUniChar c) {
  return c.GetValue() >= 0x2E80;
}

// Japanese line-breaking manners: no line starts with closing punctuation, a small kana or the
// long-vowel mark, and none ends with an opening bracket.
bool MayStartLine(wxUniChar c) {
  static const wxString kNoStart = wxString::FromUTF8(
      "、。，．・：；？！ー～…）」』】〕〉》ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ");
  return kNoStart.Find(c) == wxNOT_FOUND;
}

bool MayEndLine(wxUniChar c) {
  static const wxString kNoEnd = wxString::FromUTF8("（「『【〔〈《");
  return kNoEnd.Find(c) == wxNOT_FOUND;
}

// Adds a <wbr> between neighbouring characters of the body's text where either is Japanese and
// the manners above allow a break; link texts are short and stay whole, so that their underline
// is unbroken. Tags and entities are copied as they stand.
wxString AllowJapaneseLineBreaks(const wxString& page) {
  const size_t body = page.Lower().find("<body");
  if (body == wxString::npos) return page;
  wxString out(page, 0, body);
  out.reserve(page.length() * 2);
  wxString tag;
  bool inTag = false;
  bool inLink = false;
  wxUniChar previous = ' ';
  for (auto it = page.begin() + body; it != page.end(); ++it) {
    const wxUniChar c = *it;
    if (inTag) {
      tag += c;
      if (c == '>') {
        inTag = false;
        const wxString name = tag.Lower().BeforeFirst(' ').BeforeFirst('>');
        if (name == "<a") inLink = true;
        if (name == "</a") inLink = false;
      }
    } else if (c == '<') {
      inTag = true;
      tag = c;
      previous = ' ';
    } else {
      if (!inLink && (IsWide(previous) || IsWide(c)) && previous != ' ' && c != ' ' &&
          MayEndLine(previous) && MayStartLine(c)) {
        out += "<wbr>";
      }
      previous = c;
    }
    out += c;
  }
  return out;
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
    return AllowJapaneseLineBreaks(page.empty() && !bytes.empty() ? latin : page);
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
