#pragma once
// The recovery file of one take: a 44-byte-header PCM WAV that grows as the take does, written
// by a thread of its own so that the recording never waits for the disk. The header's sizes are
// brought up to date at least twice a second and the data reach the disk (fdatasync) at least
// once a second; the sizes never count bytes that are not yet written, so the file is a valid
// WAV at any moment and a crash loses at most the last second or two. The file stays locked by
// this process for as long as the writer (or whoever takes its file) holds it: a file nobody
// holds belongs to no running program and is offered at the next start.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "document/WavHeader.h"
#include "io/LockedFile.h"

namespace velmora {

constexpr uint32_t kWavHeaderBytes = OutHeader::kBytes;

// The 44-byte canonical header for `dataBytes` bytes of PCM.
std::vector<uint8_t> MakeWavHeader(uint32_t rate, uint16_t bits, uint16_t channels,
                                   uint32_t dataBytes);

class RecoveryWriter {
 public:
  RecoveryWriter() = default;
  // Ends the thread (as Finish) and lets the file go, leaving it on the disk.
  ~RecoveryWriter();
  RecoveryWriter(const RecoveryWriter&) = delete;
  RecoveryWriter& operator=(const RecoveryWriter&) = delete;

  // Creates a new file in `directory` (made when missing), writes its header and starts the
  // thread. False, with nothing running, when the file cannot be made.
  bool Start(const std::string& directory, uint32_t rate, uint16_t bits, uint16_t channels);
  // User-interface thread: queues a copy of `bytes` bytes (whole frames), or that many bytes of
  // silence when `data` is null. Never waits for the disk; queues nothing once failed.
  void Append(const uint8_t* data, size_t bytes);
  // User-interface thread: writes what is queued and the final sizes, syncs, and ends the thread.
  // The file stays open and locked.
  void Finish();
  // Closes and deletes the file (the take was saved, released or discarded).
  void Remove();

  const std::string& path() const { return path_; }
  // A write failed (disk full, file gone) or a block could not be copied; what reached the file
  // stays valid.
  bool failed() const;
  // Data bytes the file holds, as its header says (after Finish: everything appended).
  uint32_t writtenBytes() const;

 private:
  void Run();
  void WriteSizes();

  std::string path_;
  uint32_t rate_ = 0;
  uint16_t bits_ = 16;
  uint16_t channels_ = 2;
  LockedFile file_;  // the thread's while it runs, then the owner's
  std::thread thread_;

  mutable std::mutex mutex_;  // guards the fields below
  std::condition_variable wake_;
  std::deque<std::vector<uint8_t>> queue_;
  bool stop_ = false;
  bool failed_ = false;
  uint32_t headerBytes_ = 0;  // data size the header states
  uint64_t dataBytes_ = 0;    // data bytes written (thread only while it runs)
};

}  // namespace velmora
