// The document's one table from a failure to its message boxes, and how they are shown.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <system_error>
#include <vector>

#include "document/FailureMessages.h"
#include "document/VelmoraDoc.h"
#include "support/FakeUi.h"

namespace velmora {
namespace {

using Texts = std::vector<std::string>;

// The import's chains are checked step by step through the document's loads; one stands here
// for them all.
TEST(FailureMessages, EachKindGivesTheDocumentsOwnTexts) {
  struct Case {
    FailureKind what;
    int code;
    Texts texts;
  };
  const Case cases[] = {
      {FailureKind::CannotOpen, ENOENT, {msg::kReadFailed}},
      {FailureKind::WrongType, 0, {msg::kWrongType}},
      {FailureKind::TruncatedHeader, 0, {msg::kReadFailed}},
      {FailureKind::NotPcm, 0, {msg::kNotPcm}},
      {FailureKind::ShortHeader, 0, {msg::kShortHeader}},
      {FailureKind::UnsupportedFormat, 0, {msg::kUnsupportedFormat}},
      {FailureKind::RateMismatch, 0, {msg::kRateMismatch}},
      {FailureKind::NoDataChunk, 0, {msg::kReadFailed}},
      {FailureKind::OutOfMemory, 0, {msg::kOutOfMemory}},
      {FailureKind::ReadFailed, 0, {msg::kReadFailed}},
      {FailureKind::NoDecoder, 0, {msg::kReadFailed}},
      {FailureKind::DecoderOpen,
       -ENOENT,
       {"Could not open file (hr=0xfffffffe).\n", "Cannot open reader: hr = 0xfffffffe\n",
        "WMSyncReader failed (hr=0xfffffffe).\n"}},
      {FailureKind::SaveFailed, ENOSPC, {msg::kSaveFailed}},
      {FailureKind::ProjectUnreadable, 0, {msg::kProjectUnreadable}},
      {FailureKind::ProjectVersion, 2, {msg::kProjectVersion}},
      // Not the document's to tell.
      {FailureKind::WriteFailed, ENOSPC, {}},
      {FailureKind::OutputFailed, -9999, {}},
      {FailureKind::DeviceOpen, -9996, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.what));
    EXPECT_EQ(FailureMessages(Failure{c.what, "/music/a.wav", c.code, {}, 0}), c.texts);
  }
}

TEST(ShowFailure, ShowsTheTextsAsErrorsThenTheSystemsReasonWhereThereIsOne) {
  test::FakeUi ui;
  ShowFailure(ui, FileFailure(FailureKind::CannotOpen, "/music/a.wav",
                              std::make_error_code(std::errc::permission_denied)));
  ShowFailure(ui, FailureOf(FailureKind::NotPcm, "/music/b.wav"));

  EXPECT_EQ(ui.Texts(), (Texts{msg::kReadFailed, msg::kNotPcm}));
  for (const test::ShownMessage& shown : ui.messages) {
    EXPECT_EQ(shown.icon, MessageIcon::Stop);
    EXPECT_EQ(shown.buttons, MessageButtons::Ok);
  }
  EXPECT_EQ(ui.reasons, Texts{"/music/a.wav: " + std::generic_category().message(EACCES)});
}

}  // namespace
}  // namespace velmora
