#include "panel/MixerPanel.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <locale>
#include <sstream>

#include "document/CommandRules.h"
#include "document/VelmoraDoc.h"
#include "io/Format.h"
#include "panel/CorrectionList.h"
#include "seams/CommandIds.h"
#include "seams/ControlIds.h"
#include "seams/Form.h"
#include "seams/MasterVolume.h"
#include "seams/Ui.h"
#include "view/TimeText.h"
#include "view/ViewSettings.h"

namespace velmora {

namespace {

constexpr std::size_t kOffsetFieldChars = 11;

// Channel (0..3) whose control in `ids` is `id`, or -1.
int ChannelOf(const int (&ids)[4], int id) {
  for (int i = 0; i < 4; ++i) {
    if (ids[i] == id) return i;
  }
  return -1;
}

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// The first line of a field, cut to `limit` characters (UTF-8 sequences stay whole).
std::string FirstLine(const std::string& text, std::size_t limit) {
  std::string line = text.substr(0, text.find_first_of("\r\n"));
  std::size_t bytes = 0;
  for (std::size_t chars = 0; bytes < line.size() && chars < limit; ++chars) {
    ++bytes;
    while (bytes < line.size() && (static_cast<unsigned char>(line[bytes]) & 0xC0) == 0x80) {
      ++bytes;
    }
  }
  return line.substr(0, bytes);
}

}  // namespace

std::string FormatOffset(int32_t milliseconds) {
  const long long ms = milliseconds;
  if (ms >= 0) return Format("%lld.%03lld", ms / 1000, ms % 1000);
  if (ms >= -999) return Format("-0.%03lld", -ms);
  return Format("%lld.%03lld", ms / 1000, -ms % 1000);
}

std::optional<ParsedOffset> ParseOffset(const std::string& fieldText) {
  std::istringstream in(FirstLine(fieldText, kOffsetFieldChars));
  in.imbue(std::locale::classic());
  double seconds = 0;
  if (!(in >> seconds) || !std::isfinite(seconds)) return std::nullopt;
  const double ms = std::round(seconds * 1000.0);
  if (ms < INT32_MIN || ms > INT32_MAX) return std::nullopt;
  return ParsedOffset{seconds, static_cast<int32_t>(ms)};
}

int SpinHold::Step(int direction, int64_t nowMs) {
  if (!holding_ || direction != direction_ || nowMs - lastMs_ > kHoldGapMs) {
    holding_ = true;
    direction_ = direction;
    holdStartMs_ = nowMs;
  }
  lastMs_ = nowMs;
  int step = 1;
  for (const SpinAcceleration& a : kOffsetSpinAcceleration) {
    if (nowMs - holdStartMs_ >= a.afterMs) step = a.step;
  }
  return direction < 0 ? -step : step;
}

MixerPanel::MixerPanel(const ViewContext& context, CorrectionList& corrections,
                       MasterVolume* volume)
    : buildMix([this] { return doc_.BuildMix(view_.blockFrames, false); }),
      doc_(context.doc),
      form_(context.form),
      ui_(context.ui),
      view_(context.settings),
      corrections_(corrections),
      volume_(volume) {}

// ---- Initialisation and refresh ----

void MixerPanel::Initialise() {
  for (int i = 0; i < kChannelCount; ++i) {
    form_.Enable(ctl::kChannelCheck[i], false);
    form_.SetRange(ctl::kLevel[i], 0, kLevelMax);
    form_.SetTickFrequency(ctl::kLevel[i], 10);
    form_.SetRange(ctl::kBalance[i], 0, kBalanceMax);
    form_.SetTickFrequency(ctl::kBalance[i], 10);
    form_.SetRange(ctl::kOffsetSpin[i], 0, kOffsetMaxMs);
  }
  const VolumeRange range = volume_ != nullptr ? volume_->GetMasterVolumeRange() : VolumeRange{};
  if (range.maximum > range.minimum) {
    form_.SetRange(ctl::kMasterVolume, range.minimum, range.maximum);
    form_.SetTickFrequency(ctl::kMasterVolume, std::max(1, (range.maximum - range.minimum) / 10));
    RefreshMasterVolume();
  } else {
    form_.Enable(ctl::kMasterVolume, false);  // no mixer control to move
  }
  form_.SetText(ctl::kPositionTime, "00:00.000");
  form_.Enable(ctl::kMakeMix, false);
  form_.SetPosition(ctl::kMeterLeft, 0);
  form_.SetPosition(ctl::kMeterRight, 0);
  form_.SetRange(ctl::kPositionSlider, 0, 1);
  form_.SetPosition(ctl::kPositionSlider, 0);
  form_.SetText(ctl::kTuningButton, Format("%dHz再生", view_.tuningHz));
}

void MixerPanel::Refresh(bool adoptMixFormat) {
  for (int i = 0; i < kChannelCount; ++i) RefreshChannel(i);
  if (doc_.HasMix()) {
    form_.Enable(ctl::kPositionSlider, true);
  } else {
    form_.Enable(ctl::kPositionSlider, false);
    form_.SetText(ctl::kPositionTime, "00:00.000");
    form_.SetRange(ctl::kPositionSlider, 0, 1);
    form_.SetPosition(ctl::kPositionSlider, 0);
  }
  if (doc_.mixStale()) {
    form_.Enable(ctl::kMakeMix, true);
    corrections_.Hide();
  }
  RefreshMasterVolume();
  if (adoptMixFormat) AdoptMixFormat();
}

void MixerPanel::OnUpdate(const DocumentNotice& notice) {
  if (notice.what == DocumentNotice::What::ChannelSettings) {
    RefreshChannel(notice.channel);
    return;
  }
  // A take arrives in the format it was recorded in, which the recording settings keep.
  const bool take =
      notice.what == DocumentNotice::What::ChannelContent && notice.why == ChannelEvent::Recorded;
  Refresh(!take);
}

void MixerPanel::RefreshChannel(int i) {
  const ChannelSlot& slot = doc_.slot(i);
  const bool inUse = slot.inUse;
  form_.SetCheck(ctl::kChannelCheck[i], inUse);
  form_.SetPosition(ctl::kLevel[i], slot.level);
  form_.SetPosition(ctl::kBalance[i], slot.balance);
  WriteOffsetText(i, false);
  SetSpin(i, doc_.slot(i).offset);
  form_.Enable(ctl::kLevel[i], inUse);
  form_.Enable(ctl::kBalance[i], inUse);
  form_.Enable(ctl::kOffsetEdit[i], inUse);
  form_.Enable(ctl::kOffsetSpin[i], inUse);
}

void MixerPanel::AdoptMixFormat() {
  const uint32_t rate = doc_.MixRate();
  if (rate != 0) {
    view_.recordRate = rate;
    const uint32_t block = TransportBlockFrames(rate);
    if (block != 0) view_.blockFrames = view_.recordBlockFrames = block;
  }
  const int bits = doc_.MixBits();
  if (bits != 0) view_.recordBits = static_cast<uint16_t>(bits);
}

void MixerPanel::AdoptDeviceSurvey(const DeviceSurvey& survey) {
  devices_ = survey;
  view_.maxInputFormats = survey.inputFormats;
  const RecordFormat format = StartupRecordFormat(survey.inputFormats);
  view_.recordRate = format.rate;
  view_.recordBits = format.bits;
  view_.recordChannels = format.channels;
  view_.blockFrames = view_.recordBlockFrames = format.blockFrames;
  AdoptMixFormat();
}

// ---- The mix ----

void MixerPanel::MarkMixStale(bool markModified) {
  bool stale = true;
  if (markModified) {
    stale = doc_.HasAnyChannel();
    doc_.SetModifiedFlag(stale);
  }
  doc_.SetMixStale(stale);
  form_.Enable(ctl::kMakeMix, stale);
  corrections_.Hide();
}

void MixerPanel::MakeMix() {
  // A synchronous build must not start beside a running background build.
  if (doc_.workerBusy()) return;
  WaitCursor wait(ui_);
  const MixBuild built = buildMix();
  form_.Enable(ctl::kMakeMix, false);
  form_.SetRange(ctl::kPositionSlider, 0, PositionSliderMax(doc_.mixFrames(), view_.blockFrames));
  form_.Enable(ctl::kPositionSlider, true);
  // A playback that plays on with the new mix keeps its place on the slider.
  const bool stopped = doc_.transportState() == TransportState::Stopped;
  if (stopped && (built == MixBuild::Built || built == MixBuild::Building)) {
    // The slider goes to the start mark, and the position and its time with it.
    doc_.SetPosition(doc_.startMark());
    form_.SetPosition(ctl::kPositionSlider, ClampToInt(doc_.startMark()));
    form_.SetText(ctl::kPositionTime, PositionTimeText(doc_.startMark(), doc_.MixRate()));
  }
}

bool MixerPanel::CommandEnabled(int id) const {
  return QueryCommandState(doc_, id).enabled;
}

bool MixerPanel::HandlesCommand(int id) const {
  return id == ctl::kMakeMix || id == cmd::kCorrections || id == cmd::kMonoPlayback ||
         cmd::ChannelOf(id, cmd::kSelectChannel) >= 0 ||
         cmd::ChannelOf(id, cmd::kReleaseChannel) >= 0 ||
         cmd::ChannelOf(id, cmd::kConvertToMono) >= 0 || id == cmd::kUndo || id == cmd::kRedo;
}

bool MixerPanel::OnCommand(int id) {
  if (id == ctl::kMakeMix) {
    MakeMix();
    return true;
  }
  if (id == cmd::kCorrections) {
    if (!CommandEnabled(id)) return true;
    MakeMix();
    if (doc_.correctionCount() != 0) corrections_.Show(doc_);
    return true;
  }
  if (id == cmd::kUndo || id == cmd::kRedo) {
    if (!CommandEnabled(id)) return true;
    // The document tells the views; the mix, stale again, is rebuilt as after any edit.
    const bool done = id == cmd::kUndo ? doc_.Undo() : doc_.Redo();
    if (done && doc_.mixStale()) MarkMixStale(true);
    return true;
  }
  if (id == cmd::kMonoPlayback) {
    if (!CommandEnabled(id)) return true;
    doc_.SetMonoPlayback(!doc_.monoPlayback());
    MarkMixStale(false);
    return true;
  }
  if (const int i = cmd::ChannelOf(id, cmd::kSelectChannel); i >= 0) {
    if (!CommandEnabled(id)) return true;
    doc_.SetSelected(i, !doc_.slot(i).selected);
    MarkMixStale(false);
    return true;
  }
  if (const int i = cmd::ChannelOf(id, cmd::kReleaseChannel); i >= 0) {
    if (!CommandEnabled(id)) return true;
    doc_.ReleaseChannel(i);  // tells the views when it released the channel
    MarkMixStale(true);
    return true;
  }
  if (const int i = cmd::ChannelOf(id, cmd::kConvertToMono); i >= 0) {
    // Conversion replaces a buffer the background mixdown may be reading.
    if (!CommandEnabled(id) || doc_.workerBusy()) return true;
    const bool converted = doc_.ConvertToMono(i);
    doc_.UpdateAllViews(converted ? DocumentNotice::Content(i, ChannelEvent::Edited)
                                  : DocumentNotice::Refresh());
    MarkMixStale(true);
    return true;
  }
  return false;
}

// ---- Sliders ----

void MixerPanel::OnScroll(int controlId, ScrollCode code) {
  if (const int i = ChannelOf(ctl::kLevel, controlId); i >= 0) {
    if (const auto level = MovedSliderValue(doc_.slot(i).level, kLevelMax, controlId, code)) {
      doc_.SetLevel(i, *level);
      MarkMixStale(true);
    }
  } else if (const int j = ChannelOf(ctl::kBalance, controlId); j >= 0) {
    if (const auto balance = MovedSliderValue(doc_.slot(j).balance, kBalanceMax, controlId, code)) {
      doc_.SetBalance(j, *balance);
      MarkMixStale(true);
    }
  } else if (controlId == ctl::kPositionSlider) {
    OnPositionScroll(code);
  } else if (controlId == ctl::kMasterVolume) {
    OnMasterVolumeScroll(code);
  }
}

std::optional<int32_t> MixerPanel::MovedSliderValue(int32_t value, int32_t max, int sliderId,
                                                    ScrollCode code) const {
  switch (code) {
    case ScrollCode::LineUp:
      return std::max(value - 1, 0);
    case ScrollCode::LineDown:
      return std::min(value + 1, max);
    case ScrollCode::EndScroll:
      return form_.GetPosition(sliderId);
    default:
      return std::nullopt;
  }
}

void MixerPanel::OnPositionScroll(ScrollCode code) {
  const int64_t block = view_.blockFrames;
  const int64_t last = std::max<int64_t>(static_cast<int64_t>(doc_.mixFrames()) - block, 0);
  int64_t position = doc_.position();
  switch (code) {
    case ScrollCode::LineUp:
      position = std::max<int64_t>(position - 1, 0);
      break;
    case ScrollCode::LineDown:
      if (position < last) ++position;
      break;
    case ScrollCode::PageUp:
      position = std::max<int64_t>(position - block, 0);
      break;
    case ScrollCode::PageDown:
      position = std::min(position + block, last);
      break;
    case ScrollCode::EndScroll:
      position = std::max(form_.GetPosition(ctl::kPositionSlider), 0);
      break;
    default:
      return;
  }
  doc_.SetPosition(static_cast<uint32_t>(position));
  form_.SetPosition(ctl::kPositionSlider, ClampToInt(position));
  ShowPosition(doc_.position());
}

void MixerPanel::ShowPosition(uint32_t frame) {
  form_.SetText(ctl::kPositionTime, PositionTimeText(frame, doc_.MixRate()));
}

// ---- Master volume ----

// The slider runs top (loudest) to bottom: position p mirrors the volume inside the range.
// (The mirror is max + min − value, which is the plain max − min − value of a range starting at
// 0 and keeps the slider inside any other range.)
void MixerPanel::RefreshMasterVolume() {
  if (volume_ == nullptr) return;
  const VolumeRange range = volume_->GetMasterVolumeRange();
  if (range.maximum <= range.minimum) return;
  form_.SetPosition(ctl::kMasterVolume, range.maximum + range.minimum - volume_->GetMasterVolume());
}

void MixerPanel::OnMasterVolumeScroll(ScrollCode code) {
  if (volume_ == nullptr) return;
  const VolumeRange range = volume_->GetMasterVolumeRange();
  if (range.maximum <= range.minimum) return;
  // A hundredth of the range, but never 0: on a small range (0..31, 0..87) the keys must move.
  const int step = std::max(1, (range.maximum - range.minimum) / 100);
  int p = range.maximum + range.minimum - volume_->GetMasterVolume();
  switch (code) {
    case ScrollCode::LineUp:
      p = std::max(p - step, range.minimum);
      break;
    case ScrollCode::LineDown:
      p = std::min(p + step, range.maximum);
      break;
    case ScrollCode::ThumbTrack:
    case ScrollCode::EndScroll:
      p = form_.GetPosition(ctl::kMasterVolume);
      break;
    default:
      return;
  }
  volume_->SetMasterVolume(range.maximum + range.minimum - p);
  form_.SetPosition(ctl::kMasterVolume, p);
}

// ---- Offsets ----

void MixerPanel::WriteOffsetText(int channel, bool echoGuard) {
  if (echoGuard) offsetEchoGuard_ = true;
  form_.SetText(ctl::kOffsetEdit[channel], FormatOffset(doc_.slot(channel).offset));
  OnOffsetTextChanged(ctl::kOffsetEdit[channel]);
}

void MixerPanel::SetSpin(int channel, int32_t milliseconds) {
  form_.SetPosition(ctl::kOffsetSpin[channel], milliseconds);
}

void MixerPanel::OnOffsetSpinArrow(int spinId, int direction, int64_t nowMs) {
  const int i = ChannelOf(ctl::kOffsetSpin, spinId);
  if (i < 0) return;
  OnOffsetSpinDelta(spinId, spinHolds_[i].Step(direction, nowMs));
}

void MixerPanel::OnOffsetSpinReleased(int spinId) {
  const int i = ChannelOf(ctl::kOffsetSpin, spinId);
  if (i >= 0) spinHolds_[i].Release();
}

void MixerPanel::OnOffsetSpinDelta(int spinId, int delta) {
  const int i = ChannelOf(ctl::kOffsetSpin, spinId);
  if (i < 0) return;
  const int64_t wanted = static_cast<int64_t>(form_.GetPosition(spinId)) + delta;
  int32_t offset = kOffsetMaxMs;
  if (delta < 0 && wanted < 0) {
    offset = 0;
  } else if (delta <= 0 || wanted <= kOffsetMaxMs) {
    offset = static_cast<int32_t>(wanted);
  }
  doc_.SetOffset(i, offset);
  SetSpin(i, offset);
  WriteOffsetText(i, true);
  MarkMixStale(true);
}

void MixerPanel::OnOffsetTextChanged(int editId) {
  const int i = ChannelOf(ctl::kOffsetEdit, editId);
  if (i < 0) return;
  if (!offsetEchoGuard_) {
    if (const std::optional<ParsedOffset> parsed = ParseOffset(form_.GetText(editId))) {
      doc_.SetOffset(i, parsed->milliseconds);
      SetSpin(i, parsed->milliseconds);
    }
  }
  MarkMixStale(true);
  offsetEchoGuard_ = false;
}

void MixerPanel::OnOffsetFocusLost(int editId) {
  const int i = ChannelOf(ctl::kOffsetEdit, editId);
  if (i < 0) return;
  const std::optional<ParsedOffset> parsed = ParseOffset(form_.GetText(editId));
  if (!parsed || parsed->seconds < 0 || parsed->seconds > kOffsetMaxMs / 1000.0) {
    ui_.ShowError(msg::kOffsetRange);
    form_.SelectAllAndFocus(editId);
    return;
  }
  if (parsed->milliseconds != doc_.slot(i).offset) {
    doc_.SetOffset(i, parsed->milliseconds);
    SetSpin(i, parsed->milliseconds);
    MarkMixStale(true);
  }
}

// ---- Context menu and dropped files ----

std::vector<ChannelMenuEntry> MixerPanel::ContextMenuAt(int x, int y) const {
  if (doc_.workerBusy()) return {};
  int channel = -1;
  for (int i = 0; i < kChannelCount && channel < 0; ++i) {
    if (frames_[i].StrictlyContains(x, y)) channel = i;
  }
  if (channel < 0 || !doc_.slot(channel).inUse) return {};

  std::vector<ChannelMenuEntry> entries;
  if (doc_.transportState() == TransportState::Stopped) {
    entries.push_back({cmd::kSaveChannel + channel, "単独で保存"});
    entries.push_back({cmd::kReleaseChannel + channel, "チャンネル開放"});
    entries.push_back({0, ""});
    if (doc_.slot(channel).IsStereo()) {
      entries.push_back({cmd::kConvertToMono + channel, "モノラル変換"});
    }
    entries.push_back({cmd::kTrim + channel, "切り詰め"});
    entries.push_back({0, ""});
  }
  entries.push_back({cmd::kGoToOffset + channel, "オフセット位置に移動"});
  return entries;
}

int MixerPanel::InitialFocusControl() const {
  for (int i = 0; i < kChannelCount; ++i) {
    if (doc_.slot(i).inUse) return ctl::kLevel[i];
  }
  return ctl::kTuningButton;
}

void MixerPanel::OnFilesDropped(const std::vector<std::string>& paths) {
  // Loading changes the slots the background mixdown reads and resets the transport, so a drop
  // is taken only when Open would be.
  if (!CommandEnabled(cmd::kOpen)) {
    ui_.Beep();
    return;
  }
  bool any = false;
  for (const std::string& path : paths) {
    const int index = doc_.FirstEmptySlot();
    if (index < 0) {
      ui_.ShowError(msg::kNoEmptySlot);
      break;
    }
    doc_.LoadIntoSlot(index, path);
    any = true;
  }
  if (any) {
    doc_.UpdateAllViews();
    MarkMixStale(true);
  }
}

}  // namespace velmora
