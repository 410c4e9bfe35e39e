#pragma once
// The MailClient seam on xdg-email (xdg-utils): the mail goes to the user's preferred mail
// program as `xdg-email --utf8 --subject S --body B ADDRESS`. The opener is looked up on PATH
// and started without a shell; a thread of the client's own waits for it to end, so the window
// stays usable while the mail program is open, and hands the outcome to the user-interface
// thread through `post`.

#include <functional>
#include <memory>
#include <string>

#include "seams/MailClient.h"

namespace velmora {

class XdgMailClient : public MailClient {
 public:
  // Runs a task on the user-interface thread later; may be called from any thread.
  using Post = std::function<void(std::function<void()>)>;

  explicit XdgMailClient(Post post, std::string opener = "xdg-email");
  // On the user-interface thread. Outcomes of openers still running are dropped; the openers
  // themselves keep running.
  ~XdgMailClient() override;
  XdgMailClient(const XdgMailClient&) = delete;
  XdgMailClient& operator=(const XdgMailClient&) = delete;

  void Compose(const MailMessage& message, Done done) override;

  // The full path of an executable `name` in the folders of `path` (":"-separated, as PATH;
  // only absolute entries are searched: empty and relative ones are passed over), or empty.
  static std::string FindExecutable(const std::string& name, const std::string& path);

 private:
  struct Shared;
  Post post_;
  std::string opener_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace velmora
