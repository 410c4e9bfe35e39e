// Power events against a private bus daemon with a stand-in for systemd-logind: the delay
// inhibitor is taken at start, a PrepareForSleep(true) reaches the handler with the inhibitor
// as its hold, the suspend is released when the hold goes, and a new inhibitor follows the
// resume. Without a bus, or without logind on it, nothing is watched.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "shell/LogindPowerEvents.h"
#include "support/WavFixture.h"

extern char** environ;

namespace velmora {
namespace {

// True once a server listens on the Unix socket at `path` (its file appears before it listens).
bool Accepts(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  path.copy(address.sun_path, path.size());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected =
      connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return connected;
}

// Waits (bounded) for a condition that another process or thread makes true.
bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 500; ++i) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

class PrivateBus {
 public:
  PrivateBus() {
    const std::string socket = dir_.File("bus");
    address_ = "unix:path=" + socket;
    const std::string addressArg = "--address=" + address_;
    const char* argv[] = {"dbus-daemon", "--session",        "--nofork",
                          "--nopidfile", addressArg.c_str(), nullptr};
    if (posix_spawnp(&pid_, "dbus-daemon", nullptr, nullptr, const_cast<char**>(argv), environ) !=
        0) {
      pid_ = -1;
      return;
    }
    ready_ = WaitFor([&] { return Accepts(socket); });
  }
  ~PrivateBus() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool ready() const { return ready_; }
  const std::string& address() const { return address_; }

 private:
  test::TempDir dir_;
  std::string address_;
  pid_t pid_ = -1;
  bool ready_ = false;
};

// org.freedesktop.login1 with Inhibit and the PrepareForSleep signal, served on its own thread.
class FakeLogind {
 public:
  explicit FakeLogind(const std::string& address) {
    wake_ = eventfd(0, EFD_CLOEXEC);
    if (sd_bus_new(&bus_) < 0) return;
    sd_bus_set_address(bus_, address.c_str());
    sd_bus_set_bus_client(bus_, 1);
    ok_ = sd_bus_start(bus_) >= 0 && sd_bus_request_name(bus_, "org.freedesktop.login1", 0) >= 0 &&
          sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", kVtable, this) >= 0;
    if (ok_) thread_ = std::thread([this] { Serve(); });
  }
  ~FakeLogind() {
    stop_ = true;
    Wake();
    if (thread_.joinable()) thread_.join();
    for (int fd : readEnds_) close(fd);
    sd_bus_flush_close_unref(bus_);
    close(wake_);
  }
  bool ok() const { return ok_; }

  void EmitPrepareForSleep(bool sleeping) {
    signal_ = sleeping ? 1 : 0;
    Wake();
  }
  int inhibits() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<int>(readEnds_.size());
  }
  std::vector<std::string> lastArguments() {
    std::lock_guard<std::mutex> lock(mutex_);
    return arguments_;
  }
  // True once every holder of inhibitor n has closed it.
  bool Released(int n) {
    std::lock_guard<std::mutex> lock(mutex_);
    pollfd fd{readEnds_.at(static_cast<std::size_t>(n)), POLLIN, 0};
    return poll(&fd, 1, 0) > 0 && (fd.revents & POLLHUP) != 0;
  }

 private:
  static int Inhibit(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* logind = static_cast<FakeLogind*>(self);
    const char* args[4] = {};
    if (sd_bus_message_read(m, "ssss", &args[0], &args[1], &args[2], &args[3]) < 0) return -EINVAL;
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) < 0) return -errno;
    const int r = sd_bus_reply_method_return(m, "h", ends[1]);
    close(ends[1]);
    std::lock_guard<std::mutex> lock(logind->mutex_);
    logind->arguments_.assign(args, args + 4);
    logind->readEnds_.push_back(ends[0]);
    return r;
  }

  void Wake() {
    const uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
  }

  void Serve() {
    while (!stop_) {
      while (sd_bus_process(bus_, nullptr) > 0) {
      }
      const int signal = signal_.exchange(-1);
      if (signal >= 0) {
        sd_bus_emit_signal(bus_, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                           "PrepareForSleep", "b", signal);
        sd_bus_flush(bus_);
      }
      pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                       {wake_, POLLIN, 0}};
      poll(fds, 2, 100);
      if ((fds[1].revents & POLLIN) != 0) {
        uint64_t count = 0;
        (void)!read(wake_, &count, sizeof count);
      }
    }
  }

  static const sd_bus_vtable kVtable[];

  sd_bus* bus_ = nullptr;
  bool ok_ = false;
  int wake_ = -1;
  std::atomic<bool> stop_{false};
  std::atomic<int> signal_{-1};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<int> readEnds_;
  std::vector<std::string> arguments_;
};

const sd_bus_vtable FakeLogind::kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", &FakeLogind::Inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("PrepareForSleep", "b", 0),
    SD_BUS_VTABLE_END,
};

// Points the system bus at `address` for the lifetime of the object.
class SystemBusAddress {
 public:
  explicit SystemBusAddress(const std::string& address) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  }
  ~SystemBusAddress() { unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
};

TEST(PowerEvents, SuspendWaitsForTheHoldAndANewInhibitorFollowsTheResume) {
  PrivateBus bus;
  if (!bus.ready()) GTEST_SKIP() << "dbus-daemon could not be started";
  FakeLogind logind(bus.address());
  ASSERT_TRUE(logind.ok());
  SystemBusAddress system(bus.address());

  std::mutex mutex;
  std::vector<std::shared_ptr<void>> holds;
  LogindPowerEvents events;
  ASSERT_TRUE(events.Start([&](std::shared_ptr<void> hold) {
    std::lock_guard<std::mutex> lock(mutex);
    holds.push_back(std::move(hold));
  }));
  ASSERT_TRUE(WaitFor([&] { return logind.inhibits() == 1; }));
  EXPECT_EQ(logind.lastArguments()[0], "sleep");
  EXPECT_EQ(logind.lastArguments()[1], "Velmora");
  EXPECT_EQ(logind.lastArguments()[3], "delay");

  logind.EmitPrepareForSleep(true);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard<std::mutex> lock(mutex);
    return holds.size() == 1;
  }));
  EXPECT_NE(holds[0], nullptr);
  EXPECT_FALSE(logind.Released(0)) << "the suspend waits while the hold lives";
  {
    std::lock_guard<std::mutex> lock(mutex);
    holds.clear();
  }
  EXPECT_TRUE(WaitFor([&] { return logind.Released(0); }));

  logind.EmitPrepareForSleep(false);
  EXPECT_TRUE(WaitFor([&] { return logind.inhibits() == 2; }));
  EXPECT_FALSE(logind.Released(1));
}

TEST(PowerEvents, NothingIsWatchedWithoutLogindOrWithoutABus) {
  {
    PrivateBus bus;
    if (!bus.ready()) GTEST_SKIP() << "dbus-daemon could not be started";
    SystemBusAddress system(bus.address());
    LogindPowerEvents events;
    EXPECT_FALSE(events.Start([](std::shared_ptr<void>) {}));
  }
  SystemBusAddress nowhere("unix:path=/nonexistent/velmora-bus");
  LogindPowerEvents events;
  EXPECT_FALSE(events.Start([](std::shared_ptr<void>) {}));
}

}  // namespace
}  // namespace velmora
