#pragma once
// One wave output stream and one wave input stream over an AudioBackend, in blocks.
//
// The owner points up to 128 block slots into its own memory (blockData); block number n always
// uses slot n mod 128. The device plays (or fills) the blocks in order and counts the finished
// ones in doneCount; the owner refills from a timer on the user-interface thread. The device
// never copies the owner's blocks ahead of time and never owns audio memory: a block must stay
// valid until doneCount has passed it or the stream is closed.
//
// Threads: every operation runs on the user-interface thread. The backend's audio thread runs
// the callbacks, which only copy frames, store recorded byte counts and raise doneCount (no lock,
// no allocation). Block descriptors are handed over through release/acquire counters.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "io/Failure.h"
#include "seams/AudioBackend.h"

namespace velmora {

// Code of a refill or requeue whose ring slot still holds a block the device has not returned
// (the owner went more than 128 blocks ahead of doneCount).
constexpr int kBlockStillQueued = 33;

// A failed operation reports which step failed (the device kinds of FailureKind), the device
// ("output device 2", "default input device") and the backend's code as the system's code. The
// device shows nothing itself: its owner chooses what to tell the user, and when.

constexpr uint32_t kBlockSlots = 128;
// SetVolume's word for both sides at full gain.
constexpr uint32_t kFullVolume = 0xFFFFFFFFu;
// Devices per direction that enumeration reports.
constexpr int kMaxListedDevices = 4;

namespace msg {
// An owner could not allocate the blocks it hands a device (recording ring, metronome clicks).
inline constexpr const char* kBufferFailed = "バッファの取得に失敗しました！";
}  // namespace msg

// What enumeration reports per device.
struct WaveDeviceCaps {
  std::string name;
  uint32_t formats = 0;  // standard capability bits (audio/FormatMask.h)
};

class WaveDevice : private OutputStreamCallback, private InputStreamCallback {
 public:
  // The backend must outlive the device. Its initialisation state is taken here.
  explicit WaveDevice(AudioBackend& backend);
  // Closes every open stream (so no callback runs any more).
  ~WaveDevice() override;
  WaveDevice(const WaveDevice&) = delete;
  WaveDevice& operator=(const WaveDevice&) = delete;

  // False when the audio library did not initialise; the transport then refuses playback.
  bool Initialised() const { return initialised_; }

  // ---- Output ----
  // The owner has set the format fields, blockLength, lastBlockLength, lastIndex (at most 127)
  // and blockData[0..lastIndex]. Opens the output stream on `device` (kDefaultDevice or 0..3)
  // and queues blocks 0..lastIndex; cursor = lastIndex. A refused open is tried once more
  // without the hold. After a DeviceOpen or DeviceStart failure the output is closed;
  // TooManyBlocks changes nothing.
  Result OpenPlayback(int device, bool startPaused);
  // Queues the blocks after cursor up to lastIndex (the owner keeps lastIndex < doneCount + 128).
  // On a BlockStillQueued or OutputWrite failure cursor has moved past the failed block, which
  // counts as returned without sounding; the stream stays open. DeviceNotOpen when there is no
  // output.
  Result QueuePending();
  // Output open: silences the output keeping its position, sets streamPaused; true.
  bool Pause();
  // streamPaused: clears it, lets the output sound again and starts the input; true.
  bool Resume();
  // Clears streamPaused; stops and closes the output. Every written block counts as returned
  // afterwards (doneCount = cursor + 1).
  void ClosePlayback();
  // For the owner's timer: OutputFailed with the backend's code once the open output stream has
  // stopped by itself, after which it returns no more blocks; success while it runs and while no
  // output is open. The stream stays open until the owner closes it.
  Result CheckOutput() const;
  // The output's clock: bytes of written blocks the callback has handed to the sound system since
  // the open (silence the device gives while it has no block is not counted). Any thread.
  uint64_t OutputBytesPlayed() const { return outPlayed_.load(std::memory_order_acquire); }
  // Frames between the callback and the ear on the open output, as the sound system stated them
  // at its open (0 when it does not say, or with no output open).
  uint32_t OutputLatencyFrames() const;

  // ---- Input ----
  // The owner has set the format fields, blockLength (frames) and all 128 blockData entries and
  // sets cursor to 0. Opens the input on `device` and hands it all 128 blocks; lastIndex = 127.
  // With startPaused the input does not start before Resume. A failure leaves the input closed.
  Result OpenRecord(int device, bool startPaused);
  // Fills the blocks with every frame captured before the first call that is still on the way
  // (the stream's Drain, a fraction of a second at most); Stop's first step, so that the take
  // keeps what was played up to the press. False when the handed blocks could not take them all:
  // take the filled ones out, hand them back and call again. The input stays open.
  bool DrainRecord();
  // Hands blocks back while lastIndex < cursor + 127. On a Requeue failure lastIndex stays, so
  // the next call retries the same block. DeviceNotOpen when there is no input.
  Result RequeueInput();
  // Stops and closes the input. Every handed block counts as returned afterwards
  // (doneCount = lastIndex + 1); the one being filled keeps its partial byte count.
  void CloseRecord();
  // As CheckOutput, for the input stream: InputFailed once it has stopped by itself.
  Result CheckInput() const;
  // Reported latency of the open stream in seconds (0 when closed or not reported).
  double OutputLatency() const;
  double InputLatency() const;

  // ---- Devices ----
  // Queries the default device, then devices 0..3 (fewer when there are fewer). `maxFormats` =
  // the numerically largest mask seen (not their union); caps[0..3] = devices 0..3. Result: the
  // device count, which may exceed 4 (only four have records), or -1 when a query failed
  // (maxFormats then holds the largest so far).
  int EnumerateOutputDevices(uint32_t& maxFormats,
                             std::array<WaveDeviceCaps, kMaxListedDevices>& caps);
  int EnumerateInputDevices(uint32_t& maxFormats,
                            std::array<WaveDeviceCaps, kMaxListedDevices>& caps);

  // Gain of this device's output streams, from now on and for streams already open: low 16 bits
  // left, high 16 bits right, 0xFFFF = samples unchanged (mono streams use the left word). Sets
  // the format fields to 11025 Hz, 8-bit, mono as its only other effect. True when a default
  // output device exists (the gain is kept only then).
  bool SetVolume(uint32_t volume);

  // A second output stream on `device` with the current format, kept open (silent, not started)
  // to hold the device and keep the sound system ready for the next streams; a stream that
  // cannot be opened is not reported. An open that finds the device busy lets go of the hold
  // before it tries again.
  void OpenHold(int device);
  void CloseHold();

  // ---- Fields (set by the owner before an open, read by the owner while streams run) ----
  bool streamPaused = false;  // shared by both directions
  bool outputOpen = false;
  bool inputOpen = false;
  uint32_t sampleRate = 44100;
  uint16_t bitsPerSample = 16;
  uint16_t channels = 2;
  // Output: samples of all channels (frames x channels); bytes = blockLength, x2 for 16-bit.
  // Input: frames; bytes = channels x bitsPerSample x blockLength / 8.
  uint32_t blockLength = 0;
  // Output: length of the final block of a finite sound, same unit; 0 = not yet known.
  uint32_t lastBlockLength = 0;
  std::array<uint8_t*, kBlockSlots> blockData{};  // into the owner's memory
  // Output: last block written. Input: filled blocks the owner has taken out (owner's).
  uint32_t cursor = 0;
  // Output: last block that may be written (owner raises it). Input: last block handed.
  uint32_t lastIndex = 0;
  // Blocks returned since the open; written by the callback (or by a close once it stopped).
  std::atomic<uint32_t> doneCount{0};
  // Input: byte count of each returned block, at slot (block number) mod 128.
  std::array<std::atomic<uint32_t>, kBlockSlots> recordedBytes{};
  // Input: frames lost in each returned block (no handed block to take them, or the sound
  // system's overflow), at the block's slot, and the block's frame before which they belong;
  // written with recordedBytes. Frames lost after the last returned block are counted in
  // pendingLostFrames until the next block returns.
  std::array<std::atomic<uint32_t>, kBlockSlots> lostBefore{};
  std::array<std::atomic<uint32_t>, kBlockSlots> lostAt{};
  std::atomic<uint32_t> pendingLostFrames{0};  // callback writes; any thread reads
  uint32_t preparedCount = 0;                  // output: slots filled by OpenPlayback
  WaveFormat format{};                         // of the last open

  // Output: the sound is decided well before it is heard (the metronome), so the next opens ask
  // the sound system for a deep buffer (AudioBackend::OpenPlannedOutput).
  bool plannedOutput = false;

 private:
  struct Block {
    uint8_t* data = nullptr;
    uint32_t bytes = 0;
  };

  void Render(uint8_t* out, uint32_t frames) override;
  void Capture(const uint8_t* in, uint32_t frames) override;
  void Overflowed(uint32_t frames) override;
  uint32_t FramesWanted() const override;
  // The block being filled is done: its byte count and the loss in it are published.
  void ReturnInputBlock(uint32_t slot, uint32_t bytes);

  void FillFormat();
  uint32_t OutputBlockBytes(uint32_t blockNumber) const;
  void PublishOutputThrough(uint32_t blockNumber);
  void CloseOutputStream();
  void CloseInputStream();
  uint32_t InputBlockBytes() const;
  OpenStreamResult OpenOutputWithRetry(int device, OutputStreamCallback& callback);
  int Enumerate(StreamDirection direction, uint32_t& maxFormats,
                std::array<WaveDeviceCaps, kMaxListedDevices>& caps);

  AudioBackend& backend_;
  const bool initialised_;
  // Written by SetVolume, read by the output callback.
  std::atomic<uint32_t> volume_{0xFFFFFFFFu};

  // Output side. written_ = blocks published to the callback (cursor + 1 after a write).
  std::unique_ptr<AudioStream> outStream_;
  int outDevice_ = kDefaultDevice;  // of the last open
  WaveFormat outFormat_{};          // of the open output, read by the callback
  std::array<Block, kBlockSlots> outBlocks_{};
  std::atomic<uint32_t> written_{0};
  std::atomic<bool> outputSilenced_{false};
  std::atomic<uint32_t> outOffset_{0};  // bytes of block doneCount already played; callback only
  std::atomic<uint64_t> outPlayed_{0};  // written by the callback (and by an open)

  // Input side. handed_ = blocks handed to the callback (lastIndex + 1).
  std::unique_ptr<AudioStream> inStream_;
  int inDevice_ = kDefaultDevice;  // of the last open
  WaveFormat inFormat_{};          // of the open input, read by the callback
  std::array<Block, kBlockSlots> inBlocks_{};
  std::atomic<uint32_t> handed_{0};
  std::atomic<bool> inputStarted_{false};
  std::atomic<uint32_t> inOffset_{0};       // bytes of block doneCount filled; callback only
  std::atomic<uint32_t> pendingLostAt_{0};  // frame of block doneCount the pending loss is at

  // The held second output stream and the silence it would give.
  class Silence : public OutputStreamCallback {
   public:
    void Render(uint8_t* out, uint32_t frames) override;
    uint32_t frameBytes = 0;
    uint8_t value = 0;
  };
  Silence holdSilence_;
  std::unique_ptr<AudioStream> holdStream_;
};

}  // namespace velmora
