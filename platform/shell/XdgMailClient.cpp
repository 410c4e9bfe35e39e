#include "shell/XdgMailClient.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

extern char** environ;

namespace velmora {

// Lives as long as the client or a waiter thread, whichever is longer. The mutex keeps a waiter
// from posting while the client goes; the posted task reads `closed` on the user-interface
// thread, where the client is destroyed, so it needs no lock.
struct XdgMailClient::Shared {
  std::mutex mutex;
  std::atomic<bool> closed{false};  // the client is gone: drop outcomes
};

namespace {

// Exit status of a waited-for process; a signal counts as the shell reports it.
int ExitStatusOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return status;
}

MailResult WaitFor(pid_t pid) {
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited < 0) return {MailOutcome::LostOpener, errno};
  const int exitStatus = ExitStatusOf(status);
  if (exitStatus != 0) return {MailOutcome::OpenerFailed, exitStatus};
  return {MailOutcome::Composed, 0};
}

}  // namespace

XdgMailClient::XdgMailClient(Post post, std::string opener)
    : post_(std::move(post)), opener_(std::move(opener)), shared_(std::make_shared<Shared>()) {}

XdgMailClient::~XdgMailClient() {
  // After this no waiter posts, and no posted task still queued calls its `done`.
  const std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->closed = true;
}

std::string XdgMailClient::FindExecutable(const std::string& name, const std::string& path) {
  std::size_t start = 0;
  while (start < path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    // An empty or relative entry ("." and the like) names a folder by the current one: a mail
    // opener left in whatever folder the program was started from must never run.
    if (end > start && path[start] == '/') {
      std::string candidate = path.substr(start, end - start);
      candidate += '/';
      candidate += name;
      struct stat info {};
      if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
          access(candidate.c_str(), X_OK) == 0) {
        return candidate;
      }
    }
    start = end + 1;
  }
  return std::string();
}

void XdgMailClient::Compose(const MailMessage& message, Done done) {
  const char* path = std::getenv("PATH");
  const std::string opener =
      FindExecutable(opener_, path != nullptr && *path != '\0' ? path : "/usr/bin:/bin");
  if (opener.empty()) {
    done({MailOutcome::NoOpener, 0});
    return;
  }
  std::vector<std::string> args = {opener,   "--utf8",     "--subject", message.subject,
                                   "--body", message.body, message.to};
  std::vector<char*> argv;
  argv.reserve(args.size() + 1);
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int error = posix_spawn(&pid, opener.c_str(), nullptr, nullptr, argv.data(), environ);
  if (error != 0) {
    done({MailOutcome::StartFailed, error});
    return;
  }
  std::thread([pid, post = post_, shared = shared_, done = std::move(done)]() mutable {
    const MailResult result = WaitFor(pid);
    const std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->closed) return;
    post([shared, done = std::move(done), result] {
      if (!shared->closed) done(result);
    });
  }).detach();
}

}  // namespace velmora
