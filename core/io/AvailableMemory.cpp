#include "io/AvailableMemory.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

namespace velmora {

namespace {

MemoryProbe g_probe = nullptr;

#ifdef __linux__
// MemAvailable counts the page cache the kernel can drop, which free memory alone does not.
std::optional<uint64_t> FromMemInfo() {
  std::FILE* info = std::fopen("/proc/meminfo", "re");
  if (info == nullptr) return std::nullopt;
  std::optional<uint64_t> bytes;
  char line[256];
  while (std::fgets(line, sizeof line, info) != nullptr) {
    uint64_t kilobytes = 0;
    if (std::sscanf(line, "MemAvailable: %" SCNu64 " kB", &kilobytes) == 1) {
      bytes = kilobytes * 1024;
      break;
    }
  }
  std::fclose(info);
  return bytes;
}
#endif

std::optional<uint64_t> FromSystem() {
#ifdef __linux__
  if (const std::optional<uint64_t> bytes = FromMemInfo()) return bytes;
#endif
#if defined(_SC_AVPHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = ::sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages > 0 && pageSize > 0) return static_cast<uint64_t>(pages) * pageSize;
#endif
  return std::nullopt;
}

}  // namespace

std::optional<uint64_t> AvailableMemory() {
  return g_probe != nullptr ? g_probe() : FromSystem();
}

bool FitsInAvailableMemory(uint64_t bytes) {
  const std::optional<uint64_t> available = AvailableMemory();
  return !available || bytes <= *available;
}

void SetMemoryProbeForTesting(MemoryProbe probe) {
  g_probe = probe;
}

}  // namespace velmora
