#include "support/SameChannel.h"

#include <gtest/gtest.h>

#include <cstring>

namespace velmora::test {

void ExpectSameChannel(const ChannelSlot& actual, const ChannelSlot& expected) {
  uint8_t actualHeader[OutHeader::kBytes];
  uint8_t expectedHeader[OutHeader::kBytes];
  actual.header.Encode(actualHeader);
  actual.dataChunk.Encode(actualHeader + RiffHeader::kBytes);
  expected.header.Encode(expectedHeader);
  expected.dataChunk.Encode(expectedHeader + RiffHeader::kBytes);
  EXPECT_EQ(std::memcmp(actualHeader, expectedHeader, OutHeader::kBytes), 0);
  EXPECT_EQ(actual.frames, expected.frames);
  EXPECT_EQ(actual.data.has(), expected.data.has());
  EXPECT_EQ(actual.data.size(), expected.data.size());
  if (actual.data.size() == expected.data.size() && actual.data.has() && expected.data.has()) {
    EXPECT_EQ(std::memcmp(actual.data.data(), expected.data.data(), expected.data.size()), 0);
  }
  EXPECT_EQ(actual.autoLevel, expected.autoLevel);
  EXPECT_EQ(actual.level, expected.level);
  EXPECT_EQ(actual.balance, expected.balance);
  EXPECT_EQ(actual.offset, expected.offset);
  EXPECT_EQ(actual.inUse, expected.inUse);
  EXPECT_EQ(actual.selected, expected.selected);
}

}  // namespace velmora::test
