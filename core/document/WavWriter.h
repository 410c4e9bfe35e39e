#pragma once
// Writing whole files so that a failed save never destroys the file it replaces, and canonical
// 44-byte-header PCM WAV files (the document writes its mix with them too).
// Called from the user-interface thread (or the command-line renderer); not thread-safe.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <system_error>

#include "document/WavHeader.h"
#include "io/File.h"

namespace velmora {

struct ByteSpan {
  const uint8_t* data = nullptr;
  std::size_t size = 0;
};

// Writes `pieces` one after another as the whole content of `path` (UTF-8). A regular file or a
// new name is written under a unique temporary name in the same folder (readable by its owner
// only until it is complete), flushed to the disk, given the target's mode and then renamed over
// the target, so that an existing file stays as it was until the new one is complete; on any
// failure the temporary file is removed, and while it exists it is the file that
// RemoveFileOnInterrupt removes. A symbolic link is followed; a target that exists and is not a
// regular file (a pipe, a device) is refused. `why` receives the system's reason for a failure.
bool WriteWholeFile(const std::string& path, std::initializer_list<ByteSpan> pieces,
                    std::error_code* why = nullptr);

// Writes the content of `path` by the same rule, as `content` writes it into the file it is
// handed: from offset 0, seeking as it likes. `content` returns false on failure, with the reason
// in its second argument.
using FileContent = std::function<bool(File& file, std::error_code& why)>;
bool WriteWholeFileWith(const std::string& path, const FileContent& content,
                        std::error_code* why = nullptr);

// The 36-byte RIFF/fmt part, the 8-byte data chunk header, then data.size bytes of `samples`.
bool WriteWavFile(const std::string& path, const RiffHeader& riff, const ChunkHeader& data,
                  const uint8_t* samples, std::error_code* why = nullptr);

// False when `frames` frames of `blockAlign` bytes do not fit the 32-bit sizes of a WAV header.
bool FitsInWav(uint32_t frames, int blockAlign);

}  // namespace velmora
