#include <gtest/gtest.h>

#include "document/VelmoraDoc.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

TEST(DocumentModel, NewDocumentHasEmptySlotsWithDefaults) {
  test::FakeUi ui;
  CVelmoraDoc doc(ui);
  ASSERT_TRUE(doc.OnNewDocument());
  for (const ChannelSlot& slot : doc.slots) {
    EXPECT_FALSE(slot.HasData());
    EXPECT_EQ(slot.level, 100);
    EXPECT_EQ(slot.balance, 10);
  }
  EXPECT_FALSE(doc.HasAnyChannel());
}

}  // namespace
}  // namespace velmora
