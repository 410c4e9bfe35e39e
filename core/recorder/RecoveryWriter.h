#pragma once
// The recovery file of one take: a 44-byte-header PCM WAV that grows as the take does, written
// by a thread of its own so that the recording never waits for the disk. The header's sizes are
// brought up to date at least twice a second and the data reach the disk (fdatasync) at least
// once a second; the sizes never count bytes that are not yet written, so the file is a valid
// WAV at any moment and a crash loses at most the last second or two. The file stays locked by
// this process for as long as the writer (or whoever takes its file) holds it: a file nobody
// holds belongs to no running program and is offered at the next start.
//
// Where the take belongs is kept in the file's name, renamed (atomically) whenever it changes, so
// a crash at any moment leaves a file that says where its take was placed at that moment.

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

// Where a take belongs in the document.
struct TakePlacement {
  int channel = -1;        // the channel recorded into, from 0; -1: not known
  int32_t offsetMs = 0;    // the channel's offset, ms (>= 0)
  double latencyMs = 0;    // what the latency compensation took off, ms (to tell only)
  uint32_t cutFrames = 0;  // frames at the file's start the take leaves out (cut for the latency)
};

// Whether `name` is a name this program gives its recovery files ("take-20261210-170501-12345-1"
// and ".wav", with "-ch2-at1500ms-cut1632-lat37400us" between them once placed). `placement`
// receives what the name says: channel -1 when it says nothing.
bool ReadTakeFileName(const std::string& name, TakePlacement& placement);

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
  // User-interface thread, any time after Start (also after Finish): where the take belongs. The
  // file is renamed to say so; should that fail, it keeps the placement it had.
  void SetPlacement(const TakePlacement& placement);

  // The file's path ("" when there is none).
  std::string path() const;
  // A write failed (disk full, file gone) or a block could not be copied; what reached the file
  // stays valid.
  bool failed() const;
  // Data bytes the file holds, as its header says (after Finish: everything appended).
  uint32_t writtenBytes() const;

 private:
  void Run();
  void WriteSizes();
  std::string FileName() const;

  std::string directory_;
  std::string stem_;  // the name's unchanging part
  TakePlacement placement_;
  bool placed_ = false;
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
  bool nameUnsynced_ = false;  // the file's name has yet to reach the disk
  uint32_t headerBytes_ = 0;   // data size the header states
  uint64_t dataBytes_ = 0;     // data bytes written (thread only while it runs)
};

}  // namespace velmora
