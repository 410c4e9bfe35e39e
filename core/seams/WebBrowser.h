#pragma once
// Opens a web page in the user's browser. Called on the user-interface thread; returns without
// waiting for the browser. A page that cannot be opened is not reported.

#include <string>

namespace velmora {

class WebBrowser {
 public:
  virtual ~WebBrowser() = default;
  virtual void OpenPage(const std::string& url) = 0;
};

}  // namespace velmora
