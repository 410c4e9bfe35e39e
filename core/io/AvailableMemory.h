#pragma once
// How much memory the system can still give the program. Large allocations ask first, so that a
// request that cannot fit is refused with the program's message instead of being granted on
// credit and paid for later by swapping or the system's out-of-memory killer.

#include <cstdint>
#include <optional>

namespace velmora {

// Bytes available for new allocations without swapping (MemAvailable on Linux, free physical
// memory elsewhere); nothing when the system does not say. Any thread.
std::optional<uint64_t> AvailableMemory();

// True when `bytes` more fit in what AvailableMemory reports, or when it reports nothing.
bool FitsInAvailableMemory(uint64_t bytes);

// Tests stand in for the system's figure with a function of their own; null restores the
// system's. Not thread-safe: set it only while no other thread allocates.
using MemoryProbe = std::optional<uint64_t> (*)();
void SetMemoryProbeForTesting(MemoryProbe probe);

}  // namespace velmora
