#pragma once
// The help book's pages are HTML whatever the system's type database says of their extension.
// (Debian's shared MIME info also lists ".htm" and ".html" as XHTML, and the help window's HTML
// view shows any type but "text/html" as plain text: tags and UTF-8 bytes on the screen.)

namespace velmora {

// Registers, once per process, the reading of ".htm" and ".html" files as HTML (with the
// charset their <meta> tag names) in every HTML window.
void ReadHelpPagesAsHtml();

}  // namespace velmora
