#pragma once
// Canonical 44-byte-header PCM WAV files (the document writes its mix with them too), written
// whole in place of the file they replace, so that a failed save never destroys it.
// Called from the user-interface thread (or the command-line renderer); not thread-safe.

#include <cstdint>
#include <string>

#include "document/WavHeader.h"
#include "io/Failure.h"

namespace velmora {

// The 36-byte RIFF/fmt part, the 8-byte data chunk header, then data.size bytes of `samples`.
// A failure is SaveFailed, with the system's reason.
Result WriteWavFile(const std::string& path, const RiffHeader& riff, const ChunkHeader& data,
                    const uint8_t* samples);

// False when `frames` frames of `blockAlign` bytes do not fit the 32-bit sizes of a WAV header.
bool FitsInWav(uint32_t frames, int blockAlign);

}  // namespace velmora
