#include "io/InterruptCleanup.h"

#include <atomic>
#include <filesystem>

#ifdef _WIN32
#include <cstdio>
#else
#include <unistd.h>
#endif

namespace velmora {

namespace {

using NativeChar = std::filesystem::path::value_type;
using NativeName = std::filesystem::path::string_type;

static_assert(std::atomic<const NativeChar*>::is_always_lock_free,
              "a signal handler must read the name without a lock");

// Two names in turn: the one being written is never the one a handler may be reading.
NativeName g_names[2];
int g_next = 0;
std::atomic<const NativeChar*> g_published{nullptr};

}  // namespace

void RememberFileToRemoveOnInterrupt(const std::string& utf8Path) {
  g_published.store(nullptr);
  NativeName& name = g_names[g_next];
  g_next = 1 - g_next;
  name = std::filesystem::u8path(utf8Path).native();
  g_published.store(name.c_str());
}

void ForgetFileToRemoveOnInterrupt() {
  g_published.store(nullptr);
}

void RemoveFileOnInterrupt() {
  const NativeChar* name = g_published.exchange(nullptr);
  if (name == nullptr) return;
#ifdef _WIN32
  _wremove(name);
#else
  ::unlink(name);
#endif
}

}  // namespace velmora
