#include "LogindPowerEvents.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>

namespace velmora {

namespace {

constexpr const char* kLogin1 = "org.freedesktop.login1";
constexpr const char* kLogin1Path = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// Closes the inhibitor's descriptor when the last hold goes, which lets the suspend go on.
struct InhibitorHold {
  explicit InhibitorHold(int fd) : fd(fd) {}
  ~InhibitorHold() { close(fd); }
  InhibitorHold(const InhibitorHold&) = delete;
  InhibitorHold& operator=(const InhibitorHold&) = delete;
  int fd;
};

struct MessageUnref {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

bool LogindIsPresent(sd_bus* bus) {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                         "org.freedesktop.DBus", "NameHasOwner", &error, &raw, "s", kLogin1);
  sd_bus_error_free(&error);
  const MessagePtr reply(raw);
  int present = 0;
  return r >= 0 && sd_bus_message_read(raw, "b", &present) >= 0 && present != 0;
}

int PrepareForSleepSignal(sd_bus_message* message, void* events, sd_bus_error*) {
  int sleeping = 0;
  if (sd_bus_message_read(message, "b", &sleeping) >= 0) {
    static_cast<LogindPowerEvents*>(events)->OnPrepareForSleep(sleeping != 0);
  }
  return 0;
}

}  // namespace

LogindPowerEvents::~LogindPowerEvents() {
  if (watcher_.joinable()) {
    const uint64_t one = 1;
    (void)!write(stopFd_, &one, sizeof one);
    watcher_.join();
  }
  if (stopFd_ >= 0) close(stopFd_);
  if (inhibitFd_ >= 0) close(inhibitFd_);
  sd_bus_slot_unref(match_);
  sd_bus_flush_close_unref(bus_);
}

bool LogindPowerEvents::Start(SuspendHandler handler) {
  if (bus_ != nullptr) return false;
  if (sd_bus_open_system(&bus_) < 0) {
    bus_ = nullptr;
    return false;
  }
  if (!LogindIsPresent(bus_) ||
      sd_bus_match_signal(bus_, &match_, kLogin1, kLogin1Path, kManager, "PrepareForSleep",
                          &PrepareForSleepSignal, this) < 0) {
    return false;
  }
  stopFd_ = eventfd(0, EFD_CLOEXEC);
  if (stopFd_ < 0) return false;
  handler_ = std::move(handler);
  TakeInhibitor();
  watcher_ = std::thread([this] { Watch(); });
  return true;
}

bool LogindPowerEvents::TakeInhibitor() {
  sd_bus_error error = SD_BUS_ERROR_NULL;
  sd_bus_message* raw = nullptr;
  const int r =
      sd_bus_call_method(bus_, kLogin1, kLogin1Path, kManager, "Inhibit", &error, &raw, "ssss",
                         "sleep", "Velmora", "Stopping recording or playback", "delay");
  sd_bus_error_free(&error);
  const MessagePtr reply(raw);
  int fd = -1;
  if (r < 0 || sd_bus_message_read(raw, "h", &fd) < 0) return false;
  // The descriptor belongs to the reply; keep a copy of our own.
  inhibitFd_ = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  return inhibitFd_ >= 0;
}

void LogindPowerEvents::OnPrepareForSleep(bool sleeping) {
  if (!sleeping) {
    // Resumed: the next suspend needs its own inhibitor (taken outside the bus callback).
    needInhibitor_ = inhibitFd_ < 0;
    return;
  }
  std::shared_ptr<void> hold;
  if (inhibitFd_ >= 0) {
    hold = std::make_shared<InhibitorHold>(inhibitFd_);
    inhibitFd_ = -1;
  }
  if (handler_) handler_(std::move(hold));
}

void LogindPowerEvents::Watch() {
  for (;;) {
    while (sd_bus_process(bus_, nullptr) > 0) {
    }
    if (needInhibitor_) {
      needInhibitor_ = false;
      TakeInhibitor();
    }
    uint64_t timeoutUs = 0;
    int timeoutMs = -1;
    if (sd_bus_get_timeout(bus_, &timeoutUs) > 0 && timeoutUs != UINT64_MAX) timeoutMs = 1000;
    pollfd fds[2] = {{sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                     {stopFd_, POLLIN, 0}};
    if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR) return;
    if ((fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0 && sd_bus_is_open(bus_) <= 0) return;
  }
}

}  // namespace velmora
