#pragma once
// Hands a new mail to the user's mail program, which shows it for the user to write and send.
// Called on the user-interface thread; the outcome comes back later on the same thread.

#include <functional>
#include <string>

namespace velmora {

struct MailMessage {
  std::string to;
  std::string subject;
  std::string body;
};

enum class MailOutcome {
  Composed,      // the mail program took the mail (whether the user sends it is theirs to say)
  NoOpener,      // no program that opens mails was found
  StartFailed,   // the opener was found but could not be started; code = the system's error
  OpenerFailed,  // the opener ran and reported failure; code = its exit status
  LostOpener,    // the opener's end could not be collected; code = the system's error
};

struct MailResult {
  MailOutcome outcome = MailOutcome::Composed;
  int code = 0;
};

class MailClient {
 public:
  using Done = std::function<void(MailResult)>;

  virtual ~MailClient() = default;
  // Starts composing `message`. `done` runs exactly once on the user-interface thread: at once
  // when the opener cannot be started, else when the opener ends (the program stays usable
  // meanwhile). Once the client is destroyed, outcomes still pending are dropped.
  virtual void Compose(const MailMessage& message, Done done) = 0;
};

}  // namespace velmora
