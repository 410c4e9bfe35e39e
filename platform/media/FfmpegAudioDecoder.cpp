#include "media/FfmpegAudioDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "media/FfmpegFileStream.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

namespace velmora {

namespace {

constexpr int kOutputBits = 16;

struct FormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct CodecFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct ResamplerFreer {
  void operator()(SwrContext* context) const { swr_free(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

// Interleaved 16-bit PCM at the stream's rate; more than two channels become two.
PcmFormat PcmFormatOf(const AVCodecParameters* parameters) {
  PcmFormat format;
  format.channels = std::min(parameters->ch_layout.nb_channels, 2);
  format.samplesPerSec = parameters->sample_rate;
  format.bitsPerSample = kOutputBits;
  return format;
}

// A layout swresample accepts: frames of some decoders only know their channel count.
AVChannelLayout UsableLayout(const AVChannelLayout& layout) {
  AVChannelLayout usable{};
  if (layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&layout) == 0) {
    av_channel_layout_default(&usable, layout.nb_channels);
  } else {
    av_channel_layout_copy(&usable, &layout);
  }
  return usable;
}

int BlockAlignOf(const PcmFormat& format) {
  return format.channels * format.bitsPerSample / 8;
}

class FfmpegDecodedStream final : public DecodedStream {
 public:
  ~FfmpegDecodedStream() override { av_channel_layout_uninit(&resamplerLayout_); }

  DecoderCode Open(const std::string& path);
  std::optional<PcmFormat> format() const override;
  DecoderCode Next(PcmBlock& block) override;

 private:
  DecoderCode OpenAudioDecoder();
  // Decodes until a frame arrives; AVERROR_EOF once the decoder is drained.
  int DecodeFrame();
  // Reads the next packet of the audio stream into packet_; after a damaged stretch ended the
  // demuxer early, reads on past it. Gives 0, AVERROR_EOF at the end, or an error.
  int ReadAudioPacket();
  // Moves the demuxer past a damaged stretch: on to the packets after the last one read. False
  // when there is nothing more to find.
  bool Resync();
  // Converts the current frame (or, with none, what the resampler still holds) into out_;
  // gives the number of frames or an error.
  int ConvertFrame(const AVFrame* frame);
  DecoderCode ConfigureResampler(const AVFrame* frame);
  // Where the decoded frame belongs, in frames from the start of the audio; none when its
  // timestamp is missing. Drops a frame whose timestamp lies past the end of the stream.
  std::optional<int64_t> StartOf(const AVFrame* frame, bool& damaged);
  // Queues the `frames` frames now in out_ at `start`: silence first where frames were lost,
  // only the new part where they overlap what was given already.
  void Place(std::optional<int64_t> start, int frames);
  // Gives the next queued silence or audio; false when nothing is queued.
  bool TakeQueued(PcmBlock& block);

  // Declared first so that it is destroyed last: the demuxer reads through it.
  std::unique_ptr<FfmpegFileStream> stream_;
  std::unique_ptr<AVFormatContext, FormatCloser> format_;
  std::unique_ptr<AVCodecContext, CodecFreer> codec_;
  std::unique_ptr<SwrContext, ResamplerFreer> resampler_;
  std::unique_ptr<AVPacket, PacketFreer> packet_;
  std::unique_ptr<AVFrame, FrameFreer> frame_;
  std::vector<uint8_t> out_;
  int audioIndex_ = -1;
  PcmFormat audioFormat_;
  // What the resampler was set up for.
  int resamplerFormat_ = -1;
  int resamplerRate_ = 0;
  AVChannelLayout resamplerLayout_{};
  bool draining_ = false;
  bool packetPending_ = false;  // read, refused by a full decoder, to be sent again
  bool finished_ = false;
  bool decodedAny_ = false;
  int lastDecodeError_ = 0;

  // Timing. Decoded audio is placed by its timestamps, so that audio that could not be decoded
  // becomes silence of its length instead of moving everything after it earlier.
  int64_t originPts_ = AV_NOPTS_VALUE;  // timestamp of frame 0
  int64_t lastPts_ = AV_NOPTS_VALUE;    // latest plausible frame timestamp, in the stream's units
  int64_t given_ = 0;                   // frames given out so far, silence included
  int64_t silenceQueued_ = 0;           // frames of silence to give before queued audio
  std::size_t audioFrom_ = 0;           // first frame of out_ still to give
  std::size_t audioQueued_ = 0;         // frames of out_ still to give
  std::vector<uint8_t> silence_;
  // Resynchronisation after a damaged stretch.
  int64_t lastPacketPts_ = AV_NOPTS_VALUE;  // of the latest audio packet read
  bool readSinceResync_ = true;             // a new packet arrived since the last resync
  bool skipSeen_ = false;                   // after a resync, packets already read are skipped
  int64_t resyncJump_ = 1;                  // in the stream's time base
  int resyncsLeft_ = 256;
  static constexpr int64_t kLongestResyncJump = int64_t{1} << 24;
};

DecoderCode FfmpegDecodedStream::Open(const std::string& path) {
  stream_.reset(new (std::nothrow) FfmpegFileStream);
  if (!stream_) return kCodeOutOfMemory;
  const DecoderCode opened = stream_->Open(path);
  if (DecoderFailed(opened)) return opened;
  AVFormatContext* context = avformat_alloc_context();
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (context == nullptr || !packet_ || !frame_) {
    avformat_free_context(context);
    return kCodeOutOfMemory;
  }
  context->pb = stream_->context();
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Windows Media files are ASF; probing other formats would let arbitrary bytes pass as audio.
  int error = avformat_open_input(&context, nullptr, av_find_input_format("asf"), nullptr);
  if (error < 0) return error;  // the context is freed by FFmpeg
  format_.reset(context);
  error = avformat_find_stream_info(context, nullptr);
  if (error < 0) return error;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) {
      audioIndex_ = static_cast<int>(i);
      break;
    }
  }
  if (audioIndex_ < 0) return kDecoderOk;
  return OpenAudioDecoder();
}

DecoderCode FfmpegDecodedStream::OpenAudioDecoder() {
  const AVCodecParameters* parameters = format_->streams[audioIndex_]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) return AVERROR_DECODER_NOT_FOUND;
  codec_.reset(avcodec_alloc_context3(codec));
  if (!codec_) return kCodeOutOfMemory;
  int error = avcodec_parameters_to_context(codec_.get(), parameters);
  if (error >= 0) error = avcodec_open2(codec_.get(), codec, nullptr);
  if (error < 0) return error;
  audioFormat_ = PcmFormatOf(parameters);
  if (audioFormat_.channels <= 0 || audioFormat_.samplesPerSec <= 0) return AVERROR_INVALIDDATA;
  // A timestamp beyond the end the file declares (with a second to spare) is damage, not audio.
  const AVStream* stream = format_->streams[audioIndex_];
  const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
  int64_t duration = stream->duration;
  if (duration == AV_NOPTS_VALUE && format_->duration != AV_NOPTS_VALUE) {
    duration = av_rescale_q(format_->duration, AV_TIME_BASE_Q, stream->time_base);
  }
  if (duration != AV_NOPTS_VALUE && duration >= 0) {
    lastPts_ = start + duration + av_rescale_q(1, AVRational{1, 1}, stream->time_base);
  }
  return kDecoderOk;
}

std::optional<PcmFormat> FfmpegDecodedStream::format() const {
  if (audioIndex_ < 0) return std::nullopt;
  return audioFormat_;
}

DecoderCode FfmpegDecodedStream::ConfigureResampler(const AVFrame* frame) {
  AVChannelLayout layout = UsableLayout(frame->ch_layout);
  const bool same = resampler_ && resamplerFormat_ == frame->format &&
                    resamplerRate_ == frame->sample_rate &&
                    av_channel_layout_compare(&resamplerLayout_, &layout) == 0;
  if (same) {
    av_channel_layout_uninit(&layout);
    return kDecoderOk;
  }
  AVChannelLayout outLayout{};
  av_channel_layout_default(&outLayout, audioFormat_.channels);
  SwrContext* raw = nullptr;
  int error = swr_alloc_set_opts2(&raw, &outLayout, AV_SAMPLE_FMT_S16, audioFormat_.samplesPerSec,
                                  &layout, static_cast<AVSampleFormat>(frame->format),
                                  frame->sample_rate, 0, nullptr);
  resampler_.reset(raw);
  if (error >= 0) error = swr_init(raw);
  av_channel_layout_uninit(&outLayout);
  av_channel_layout_uninit(&resamplerLayout_);
  resamplerLayout_ = layout;
  resamplerFormat_ = frame->format;
  resamplerRate_ = frame->sample_rate;
  if (error < 0) {
    resampler_.reset();
    return error;
  }
  return kDecoderOk;
}

int FfmpegDecodedStream::ConvertFrame(const AVFrame* frame) {
  if (frame != nullptr) {
    const DecoderCode configured = ConfigureResampler(frame);
    if (DecoderFailed(configured)) return configured;
  }
  if (!resampler_) return 0;
  const int inFrames = frame != nullptr ? frame->nb_samples : 0;
  const int capacity = swr_get_out_samples(resampler_.get(), inFrames);
  if (capacity <= 0) return capacity;
  try {
    out_.resize(static_cast<std::size_t>(capacity) * BlockAlignOf(audioFormat_));
  } catch (const std::bad_alloc&) {
    return kCodeOutOfMemory;
  }
  uint8_t* outPlanes[1] = {out_.data()};
  return swr_convert(resampler_.get(), outPlanes, capacity,
                     frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                     inFrames);
}

int FfmpegDecodedStream::DecodeFrame() {
  for (;;) {
    int error = avcodec_receive_frame(codec_.get(), frame_.get());
    if (error == 0) {
      decodedAny_ = true;
      return 0;
    }
    if (error == AVERROR_EOF) return AVERROR_EOF;
    if (error == AVERROR(ENOMEM)) return error;
    // A damaged packet loses its own audio only, as in any player.
    if (error != AVERROR(EAGAIN)) lastDecodeError_ = error;
    if (draining_) return AVERROR_EOF;
    if (!packetPending_) {
      error = ReadAudioPacket();
      if (error == AVERROR_EOF) {
        draining_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        continue;
      }
      if (error < 0) return error;
    }
    error = avcodec_send_packet(codec_.get(), packet_.get());
    // The decoder may still hold frames after an error; the packet then waits for its turn.
    packetPending_ = error == AVERROR(EAGAIN);
    if (!packetPending_) av_packet_unref(packet_.get());
    if (error == AVERROR(ENOMEM)) return error;
    if (error < 0 && error != AVERROR(EAGAIN)) lastDecodeError_ = error;
  }
}

int FfmpegDecodedStream::ReadAudioPacket() {
  for (;;) {
    const int error = av_read_frame(format_.get(), packet_.get());
    if (error == AVERROR_EOF || error == AVERROR_INVALIDDATA) {
      // A damaged packet header can end the demuxer's walk early; the rest may still be there.
      if (Resync()) continue;
      return error;
    }
    if (error < 0) return error;
    const int64_t pts = packet_->pts;
    const bool seen = skipSeen_ && pts != AV_NOPTS_VALUE && lastPacketPts_ != AV_NOPTS_VALUE &&
                      pts <= lastPacketPts_;
    // Stamped past the end of the stream: a damaged packet, whose place the next good one's
    // timestamp fills with silence.
    const bool damaged = pts != AV_NOPTS_VALUE && lastPts_ != AV_NOPTS_VALUE && pts > lastPts_;
    if (packet_->stream_index != audioIndex_ || seen || damaged) {
      av_packet_unref(packet_.get());
      continue;
    }
    if (pts != AV_NOPTS_VALUE) lastPacketPts_ = std::max(pts, lastPacketPts_);
    readSinceResync_ = true;
    return 0;
  }
}

bool FfmpegDecodedStream::Resync() {
  if (lastPacketPts_ == AV_NOPTS_VALUE) return false;
  // Past the damage from just after the last packet read, jumping twice as far each time the
  // demuxer finds nothing new, up to the end of the stream.
  resyncJump_ = readSinceResync_ ? 1 : resyncJump_ * 2;
  readSinceResync_ = false;
  skipSeen_ = true;
  for (; resyncJump_ <= kLongestResyncJump && resyncsLeft_ > 0; resyncJump_ *= 2) {
    const int64_t target = lastPacketPts_ + resyncJump_;
    if (lastPts_ != AV_NOPTS_VALUE && target > lastPts_) return false;
    --resyncsLeft_;
    if (av_seek_frame(format_.get(), audioIndex_, target, 0) >= 0) return true;
  }
  return false;
}

std::optional<int64_t> FfmpegDecodedStream::StartOf(const AVFrame* frame, bool& damaged) {
  damaged = false;
  const int64_t pts = frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
  if (pts == AV_NOPTS_VALUE) return std::nullopt;
  if (lastPts_ != AV_NOPTS_VALUE && pts > lastPts_) {
    damaged = true;
    return std::nullopt;
  }
  if (originPts_ == AV_NOPTS_VALUE) originPts_ = pts;
  return av_rescale_q(pts - originPts_, format_->streams[audioIndex_]->time_base,
                      AVRational{1, audioFormat_.samplesPerSec});
}

void FfmpegDecodedStream::Place(std::optional<int64_t> start, int frames) {
  audioFrom_ = 0;
  audioQueued_ = static_cast<std::size_t>(frames);
  if (!start || frames <= 0) return;
  // Timestamps are only as fine as their time base (a millisecond in Windows Media files): a
  // difference within one tick is rounding, not lost audio.
  const AVRational timeBase = format_->streams[audioIndex_]->time_base;
  const int64_t tolerance =
      av_rescale_q_rnd(1, timeBase, AVRational{1, audioFormat_.samplesPerSec}, AV_ROUND_UP) + 1;
  // A codec's frames follow one another without gaps: a start that rounds to a whole number of
  // frames is taken as exactly that, so that silence in place of lost frames is exact too.
  int64_t at = *start;
  const int64_t onGrid = (at + frames / 2) / frames * frames;
  if (at >= 0 && std::llabs(at - onGrid) <= tolerance) at = onGrid;
  const int64_t gap = at - given_;
  if (gap > tolerance) {
    silenceQueued_ = gap;
  } else if (gap < -tolerance) {
    // Audio given already (read again after a resync) is not given twice.
    audioFrom_ = static_cast<std::size_t>(std::min<int64_t>(-gap, frames));
    audioQueued_ -= audioFrom_;
  }
}

bool FfmpegDecodedStream::TakeQueued(PcmBlock& block) {
  const std::size_t frameBytes = static_cast<std::size_t>(BlockAlignOf(audioFormat_));
  if (silenceQueued_ > 0) {
    constexpr int64_t kSilenceFrames = 16384;
    const int64_t frames = std::min(silenceQueued_, kSilenceFrames);
    try {
      silence_.resize(static_cast<std::size_t>(kSilenceFrames) * frameBytes, 0);
    } catch (const std::bad_alloc&) {
      return false;
    }
    silenceQueued_ -= frames;
    given_ += frames;
    block.bytes = silence_.data();
    block.length = static_cast<std::size_t>(frames) * frameBytes;
    return true;
  }
  if (audioQueued_ == 0) return false;
  given_ += static_cast<int64_t>(audioQueued_);
  block.bytes = out_.data() + audioFrom_ * frameBytes;
  block.length = audioQueued_ * frameBytes;
  audioQueued_ = 0;
  return true;
}

DecoderCode FfmpegDecodedStream::Next(PcmBlock& block) {
  block = PcmBlock{};
  if (audioIndex_ < 0) return kDecoderOk;
  for (;;) {
    if (TakeQueued(block)) return kDecoderOk;
    if (silenceQueued_ > 0) return kCodeOutOfMemory;
    if (finished_) break;
    const int decoded = DecodeFrame();
    int frames = 0;
    std::optional<int64_t> start;
    bool damaged = false;
    if (decoded == 0) {
      start = StartOf(frame_.get(), damaged);
      frames = ConvertFrame(frame_.get());
      av_frame_unref(frame_.get());
    } else if (decoded == AVERROR_EOF) {
      // Whatever the resampler still holds is the end of the stream.
      frames = ConvertFrame(nullptr);
      finished_ = true;
    } else {
      return decoded;
    }
    if (frames < 0) return frames;
    // A frame stamped past the end of the stream is damage; the next good one's timestamp puts
    // silence in its place.
    if (!damaged) Place(start, frames);
  }
  // A stream of which not one packet could be decoded is an error, not silence.
  if (!decodedAny_ && lastDecodeError_ != 0) return lastDecodeError_;
  return kDecoderOk;
}

}  // namespace

FfmpegAudioDecoder::FfmpegAudioDecoder() {
  av_log_set_level(AV_LOG_QUIET);
}

DecoderCode FfmpegAudioDecoder::Open(const std::string& path,
                                     std::unique_ptr<DecodedStream>& stream) {
  stream.reset();
  std::unique_ptr<FfmpegDecodedStream> opened(new (std::nothrow) FfmpegDecodedStream);
  if (!opened) return kCodeOutOfMemory;
  const DecoderCode code = opened->Open(path);
  if (DecoderFailed(code)) return code;
  stream = std::move(opened);
  return kDecoderOk;
}

}  // namespace velmora
