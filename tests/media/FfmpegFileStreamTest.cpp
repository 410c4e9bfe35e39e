// FfmpegFileStream through FFmpeg's own I/O calls: reads, the three origins, the size query, the
// end of the file, refused origins and files, and offsets beyond 32 bits.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "media/FfmpegFileStream.h"
#include "support/Fifo.h"
#include "support/WavFixture.h"

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

namespace velmora {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Numbered(std::size_t count) {
  std::vector<uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 13 + 1);
  return bytes;
}

TEST(FfmpegFileStream, ReadsAndSeeksFromEveryOrigin) {
  test::TempDir dir;
  const auto bytes = Numbered(100000);
  test::WriteBytes(dir.File("data.bin"), bytes);
  FfmpegFileStream stream;
  ASSERT_EQ(stream.Open(dir.File("data.bin")), kDecoderOk);
  AVIOContext* io = stream.context();

  EXPECT_EQ(avio_size(io), 100000);
  std::vector<uint8_t> got(16);
  EXPECT_EQ(avio_seek(io, 70000, SEEK_SET), 70000);
  ASSERT_EQ(avio_read(io, got.data(), 16), 16);
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 70000, bytes.begin() + 70016));
  EXPECT_EQ(avio_seek(io, -20000, SEEK_CUR), 50016);
  ASSERT_EQ(avio_read(io, got.data(), 16), 16);
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 50016, bytes.begin() + 50032));
  EXPECT_EQ(avio_seek(io, 99984, SEEK_SET), 99984);
  ASSERT_EQ(avio_read(io, got.data(), 16), 16);
  EXPECT_EQ(avio_read(io, got.data(), 16), AVERROR_EOF);

  // The callbacks themselves (FFmpeg's own seek takes no end origin): the end origin, the size
  // query, an origin of none of the three, and reading at the end.
  EXPECT_EQ(stream.Seek(-16, SEEK_END), 99984);
  ASSERT_EQ(stream.Read(got.data(), 16), 16);
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.end() - 16, bytes.end()));
  EXPECT_EQ(stream.Seek(0, AVSEEK_SIZE), 100000);
  EXPECT_EQ(stream.Seek(0, 3), AVERROR(EINVAL));
  uint8_t byte = 0;
  EXPECT_EQ(stream.Read(&byte, 1), AVERROR_EOF);
}

TEST(FfmpegFileStream, OffsetsBeyondFourGigabytesAreNotCut) {
  test::TempDir dir;
  const std::string path = dir.File("large.bin");
  const int64_t far = (int64_t{1} << 32) + 12345;
  {
    std::ofstream file(path, std::ios::binary);
    file.seekp(far);
    file.put('V');
  }  // sparse: only the last block takes space
  FfmpegFileStream stream;
  ASSERT_EQ(stream.Open(path), kDecoderOk);
  EXPECT_EQ(stream.Seek(0, AVSEEK_SIZE), far + 1);
  EXPECT_EQ(stream.Seek(far, SEEK_SET), far);
  uint8_t byte = 0;
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  EXPECT_EQ(byte, 'V');
}

TEST(FfmpegFileStream, RefusesWhatIsNotAReadableDiskFile) {
  test::TempDir dir;
  FfmpegFileStream stream;
  EXPECT_EQ(stream.Open(dir.File("missing.wma")), AVERROR(ENOENT));
  EXPECT_EQ(stream.Open(dir.path()), kCodeNotADiskFile);
  EXPECT_EQ(stream.Open("/dev/null"), kCodeNotADiskFile);
  // A pipe with no writer is refused at once rather than waited on.
  const test::Fifo fifo(dir.File("pipe.wma"));
  ASSERT_TRUE(fifo.made());
  EXPECT_EQ(fifo.ReturnsWithoutWaiting([&] { return stream.Open(fifo.path()); }),
            kCodeNotADiskFile);
  EXPECT_EQ(stream.context(), nullptr);
}

}  // namespace
}  // namespace velmora
