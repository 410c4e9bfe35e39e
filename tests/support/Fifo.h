#pragma once
// A named pipe with nobody at its other end, for checking that the program refuses it at once
// instead of waiting in open() for a writer or a reader that never comes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <string>
#include <utility>

namespace velmora::test {

class Fifo {
 public:
  explicit Fifo(std::string path) : path_(std::move(path)) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
  }
  const std::string& path() const { return path_; }
  bool made() const { return made_; }

  // Opens both ends for a moment, so that a call blocked in opening either end returns.
  void Release() const {
    const int reader = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    if (reader >= 0) ::close(reader);
  }

  // Runs `action` and gives its result; fails the test when it is still waiting after a few
  // seconds, and then releases the pipe so that it returns. No time passes when it does not wait.
  template <typename Action>
  auto ReturnsWithoutWaiting(Action action) const {
    auto running = std::async(std::launch::async, action);
    if (running.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
      ADD_FAILURE() << "still waiting on the pipe " << path_;
      while (running.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        Release();
      }
    }
    return running.get();
  }

 private:
  std::string path_;
  bool made_ = false;
};

}  // namespace velmora::test
