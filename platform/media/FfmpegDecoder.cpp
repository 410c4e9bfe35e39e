#include "media/FfmpegDecoder.h"

#include <algorithm>
#include <new>
#include <vector>

#include "media/CROStream.h"

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
constexpr int64_t kHundredNsPerSecond = 10000000;

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

MediaType TypeOf(const AVStream* stream) {
  switch (stream->codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
      return MediaType::Audio;
    case AVMEDIA_TYPE_VIDEO:
      return MediaType::Video;
    default:
      return MediaType::Other;
  }
}

// Interleaved 16-bit PCM at the stream's rate; more than two channels become two.
MediaFormat PcmFormatOf(const AVCodecParameters* parameters) {
  MediaFormat format;
  format.formatTag = 1;
  format.channels = static_cast<int16_t>(std::min(parameters->ch_layout.nb_channels, 2));
  format.samplesPerSec = parameters->sample_rate;
  format.bitsPerSample = kOutputBits;
  format.blockAlign = static_cast<int16_t>(format.channels * kOutputBits / 8);
  format.avgBytesPerSec = format.blockAlign * format.samplesPerSec;
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

class FfmpegReader final : public MediaReader {
 public:
  ~FfmpegReader() override { CloseFile(); }

  MediaResult Open(const std::string& path) override;
  MediaResult GetStreamCount(uint32_t& count) override;
  MediaResult GetStreamNumber(uint32_t index, uint16_t& number) override;
  MediaResult GetStreamType(uint32_t index, MediaType& type) override;
  MediaResult GetOutputCount(uint32_t& count) override { return GetStreamCount(count); }
  MediaResult GetOutputMediaType(uint32_t output, MediaOutput& out) override;
  MediaResult SetStreamSelected(uint16_t stream, bool selected) override;
  MediaResult SetReadStreamSamples(uint16_t stream, bool compressed) override;
  MediaResult SetRangeByFrame(uint16_t stream, uint64_t firstFrame, uint64_t count) override;
  MediaResult SetRange(uint64_t start, uint64_t duration) override;
  MediaResult GetNextSample(MediaSample& sample) override;
  MediaResult Close() override {
    CloseFile();
    return kMediaOk;
  }

 private:
  bool IsStream(uint16_t number) const {
    return format_ && number >= 1 && number <= format_->nb_streams;
  }
  MediaResult OpenAudioDecoder();
  void CloseFile();
  // Decodes until a frame arrives; kNoMoreSamples once the decoder is drained.
  MediaResult DecodeFrame();
  // Converts the current frame (or, with none, what the resampler still holds) into out_;
  // gives the number of frames or an error.
  int ConvertFrame(const AVFrame* frame);
  MediaResult ConfigureResampler(const AVFrame* frame);
  // Applies the range to `frames` converted frames starting at out_; sets the sample.
  bool TakeRange(int frames, MediaSample& sample);

  // Declared first so that it is destroyed last: the demuxer reads through it.
  std::unique_ptr<CROStream> stream_;
  std::unique_ptr<AVFormatContext, FormatCloser> format_;
  std::unique_ptr<AVCodecContext, CodecFreer> codec_;
  std::unique_ptr<SwrContext, ResamplerFreer> resampler_;
  std::unique_ptr<AVPacket, PacketFreer> packet_;
  std::unique_ptr<AVFrame, FrameFreer> frame_;
  std::vector<bool> selected_;
  std::vector<uint8_t> out_;
  int audioIndex_ = -1;
  MediaFormat audioFormat_;
  // What the resampler was set up for.
  int resamplerFormat_ = -1;
  int resamplerRate_ = 0;
  AVChannelLayout resamplerLayout_{};
  bool draining_ = false;
  bool packetPending_ = false;  // read, refused by a full decoder, to be sent again
  bool finished_ = false;
  bool decodedAny_ = false;
  int lastDecodeError_ = 0;
  uint64_t skipFrames_ = 0;
  uint64_t frameLimit_ = 0;  // 0 = to the end
  uint64_t framesGiven_ = 0;
};

void FfmpegReader::CloseFile() {
  resampler_.reset();
  av_channel_layout_uninit(&resamplerLayout_);
  resamplerFormat_ = -1;
  resamplerRate_ = 0;
  codec_.reset();
  format_.reset();
  stream_.reset();
  packet_.reset();
  frame_.reset();
  selected_.clear();
  audioIndex_ = -1;
  draining_ = packetPending_ = finished_ = decodedAny_ = false;
  lastDecodeError_ = 0;
  skipFrames_ = frameLimit_ = framesGiven_ = 0;
}

MediaResult FfmpegReader::Open(const std::string& path) {
  CloseFile();
  stream_.reset(new (std::nothrow) CROStream);
  if (!stream_) return kEOutOfMemory;
  const MediaResult opened = stream_->Open(path);
  if (MediaFailed(opened)) {
    CloseFile();
    return opened;
  }
  AVFormatContext* context = avformat_alloc_context();
  packet_.reset(av_packet_alloc());
  frame_.reset(av_frame_alloc());
  if (context == nullptr || !packet_ || !frame_) {
    avformat_free_context(context);
    CloseFile();
    return kEOutOfMemory;
  }
  context->pb = stream_->context();
  context->flags |= AVFMT_FLAG_CUSTOM_IO;
  // Windows Media files are ASF; probing other formats would let arbitrary bytes pass as audio.
  int error = avformat_open_input(&context, nullptr, av_find_input_format("asf"), nullptr);
  if (error < 0) {  // the context is freed by FFmpeg
    CloseFile();
    return error;
  }
  format_.reset(context);
  error = avformat_find_stream_info(context, nullptr);
  if (error < 0) {
    CloseFile();
    return error;
  }
  selected_.assign(context->nb_streams, true);
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    if (TypeOf(context->streams[i]) == MediaType::Audio) {
      audioIndex_ = static_cast<int>(i);
      break;
    }
  }
  if (audioIndex_ < 0) return kMediaOk;
  const MediaResult decoder = OpenAudioDecoder();
  if (MediaFailed(decoder)) CloseFile();
  return decoder;
}

MediaResult FfmpegReader::OpenAudioDecoder() {
  const AVCodecParameters* parameters = format_->streams[audioIndex_]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) return AVERROR_DECODER_NOT_FOUND;
  codec_.reset(avcodec_alloc_context3(codec));
  if (!codec_) return kEOutOfMemory;
  int error = avcodec_parameters_to_context(codec_.get(), parameters);
  if (error >= 0) error = avcodec_open2(codec_.get(), codec, nullptr);
  if (error < 0) return error;
  audioFormat_ = PcmFormatOf(parameters);
  if (audioFormat_.channels <= 0 || audioFormat_.samplesPerSec <= 0) return AVERROR_INVALIDDATA;
  return kMediaOk;
}

MediaResult FfmpegReader::GetStreamCount(uint32_t& count) {
  if (!format_) return kEUnexpected;
  count = format_->nb_streams;
  return kMediaOk;
}

MediaResult FfmpegReader::GetStreamNumber(uint32_t index, uint16_t& number) {
  if (!format_) return kEUnexpected;
  if (index >= format_->nb_streams) return AVERROR(EINVAL);
  number = static_cast<uint16_t>(index + 1);
  return kMediaOk;
}

MediaResult FfmpegReader::GetStreamType(uint32_t index, MediaType& type) {
  if (!format_) return kEUnexpected;
  if (index >= format_->nb_streams) return AVERROR(EINVAL);
  type = TypeOf(format_->streams[index]);
  return kMediaOk;
}

MediaResult FfmpegReader::GetOutputMediaType(uint32_t output, MediaOutput& out) {
  if (!format_) return kEUnexpected;
  if (output >= format_->nb_streams) return AVERROR(EINVAL);
  const AVStream* stream = format_->streams[output];
  out.type = TypeOf(stream);
  out.format =
      out.type == MediaType::Audio
          ? (static_cast<int>(output) == audioIndex_ ? audioFormat_ : PcmFormatOf(stream->codecpar))
          : MediaFormat{};
  return kMediaOk;
}

MediaResult FfmpegReader::SetStreamSelected(uint16_t stream, bool selected) {
  if (!format_) return kEUnexpected;
  if (!IsStream(stream)) return AVERROR(EINVAL);
  selected_[stream - 1] = selected;
  return kMediaOk;
}

MediaResult FfmpegReader::SetReadStreamSamples(uint16_t stream, bool compressed) {
  if (!format_) return kEUnexpected;
  if (!IsStream(stream)) return AVERROR(EINVAL);
  // Only uncompressed samples are delivered.
  return compressed ? AVERROR(ENOSYS) : kMediaOk;
}

MediaResult FfmpegReader::SetRangeByFrame(uint16_t stream, uint64_t, uint64_t) {
  if (!format_) return kEUnexpected;
  if (!IsStream(stream)) return AVERROR(EINVAL);
  // Video is never decoded, so there are no video frames to count.
  return AVERROR(ENOSYS);
}

MediaResult FfmpegReader::SetRange(uint64_t start, uint64_t duration) {
  if (!format_) return kEUnexpected;
  const auto toFrames = [this](uint64_t hundredNs) {
    const int64_t clamped = static_cast<int64_t>(std::min<uint64_t>(hundredNs, INT64_MAX));
    return static_cast<uint64_t>(
        av_rescale(clamped, audioFormat_.samplesPerSec, kHundredNsPerSecond));
  };
  skipFrames_ = toFrames(start);
  frameLimit_ = toFrames(duration);
  // A duration shorter than one frame still asks for a range, not for the whole file.
  if (duration != 0 && frameLimit_ == 0) frameLimit_ = 1;
  return kMediaOk;
}

MediaResult FfmpegReader::ConfigureResampler(const AVFrame* frame) {
  AVChannelLayout layout = UsableLayout(frame->ch_layout);
  const bool same = resampler_ && resamplerFormat_ == frame->format &&
                    resamplerRate_ == frame->sample_rate &&
                    av_channel_layout_compare(&resamplerLayout_, &layout) == 0;
  if (same) {
    av_channel_layout_uninit(&layout);
    return kMediaOk;
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
  return kMediaOk;
}

int FfmpegReader::ConvertFrame(const AVFrame* frame) {
  if (frame != nullptr) {
    const MediaResult configured = ConfigureResampler(frame);
    if (MediaFailed(configured)) return configured;
  }
  if (!resampler_) return 0;
  const int inFrames = frame != nullptr ? frame->nb_samples : 0;
  const int capacity = swr_get_out_samples(resampler_.get(), inFrames);
  if (capacity <= 0) return capacity;
  try {
    out_.resize(static_cast<std::size_t>(capacity) * audioFormat_.blockAlign);
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  }
  uint8_t* outPlanes[1] = {out_.data()};
  return swr_convert(resampler_.get(), outPlanes, capacity,
                     frame != nullptr ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                     inFrames);
}

bool FfmpegReader::TakeRange(int frames, MediaSample& sample) {
  uint64_t first = std::min<uint64_t>(skipFrames_, static_cast<uint64_t>(frames));
  skipFrames_ -= first;
  uint64_t count = static_cast<uint64_t>(frames) - first;
  if (frameLimit_ != 0) {
    count = std::min(count, frameLimit_ - framesGiven_);
    if (framesGiven_ + count == frameLimit_) finished_ = true;
  }
  framesGiven_ += count;
  sample.bytes = out_.data() + first * audioFormat_.blockAlign;
  sample.length = static_cast<std::size_t>(count) * audioFormat_.blockAlign;
  return count != 0;
}

MediaResult FfmpegReader::DecodeFrame() {
  for (;;) {
    int error = avcodec_receive_frame(codec_.get(), frame_.get());
    if (error == 0) {
      decodedAny_ = true;
      return kMediaOk;
    }
    if (error == AVERROR_EOF) return kNoMoreSamples;
    if (error == AVERROR(ENOMEM)) return error;
    // A damaged packet loses its own audio only, as in any player.
    if (error != AVERROR(EAGAIN)) lastDecodeError_ = error;
    if (draining_) return kNoMoreSamples;
    if (!packetPending_) {
      error = av_read_frame(format_.get(), packet_.get());
      if (error == AVERROR_EOF) {
        draining_ = true;
        avcodec_send_packet(codec_.get(), nullptr);
        continue;
      }
      if (error < 0) return error;
      if (packet_->stream_index != audioIndex_) {
        av_packet_unref(packet_.get());
        continue;
      }
    }
    error = avcodec_send_packet(codec_.get(), packet_.get());
    // The decoder may still hold frames after an error; the packet then waits for its turn.
    packetPending_ = error == AVERROR(EAGAIN);
    if (!packetPending_) av_packet_unref(packet_.get());
    if (error == AVERROR(ENOMEM)) return error;
    if (error < 0 && error != AVERROR(EAGAIN)) lastDecodeError_ = error;
  }
}

MediaResult FfmpegReader::GetNextSample(MediaSample& sample) {
  if (!format_) return kEUnexpected;
  if (audioIndex_ < 0 || !selected_[audioIndex_]) return kNoMoreSamples;
  while (!finished_) {
    const MediaResult decoded = DecodeFrame();
    int frames = 0;
    if (decoded == kMediaOk) {
      frames = ConvertFrame(frame_.get());
      av_frame_unref(frame_.get());
    } else if (decoded == kNoMoreSamples) {
      // Whatever the resampler still holds is the end of the stream.
      frames = ConvertFrame(nullptr);
      finished_ = true;
    } else {
      return decoded;
    }
    if (frames < 0) return frames;
    if (TakeRange(frames, sample)) return kMediaOk;
  }
  // A stream of which not one packet could be decoded is an error, not silence.
  if (!decodedAny_ && lastDecodeError_ != 0) return lastDecodeError_;
  return kNoMoreSamples;
}

class FfmpegDecoder final : public MediaDecoder {
 public:
  MediaResult CreateReader(std::unique_ptr<MediaReader>& reader) override {
    reader.reset(new (std::nothrow) FfmpegReader);
    return reader ? kMediaOk : kEOutOfMemory;
  }
};

}  // namespace

std::unique_ptr<MediaDecoder> CreateFfmpegDecoder() {
  av_log_set_level(AV_LOG_QUIET);
  return std::make_unique<FfmpegDecoder>();
}

}  // namespace velmora
