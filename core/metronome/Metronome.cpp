#include "metronome/Metronome.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

#include "dialogs/DialogFields.h"
#include "seams/BeatDisplay.h"
#include "seams/Form.h"
#include "seams/Timers.h"
#include "seams/Ui.h"

namespace velmora {

namespace {

constexpr uint8_t kSilence = 128;
// The settings that cannot change while the metronome runs.
constexpr int kSettingControls[] = {metctl::kVolume,    metctl::kTempoSpin, metctl::kBeatsSpin,
                                    metctl::kTempoEdit, metctl::kBeatsEdit, metctl::kChime};

// The window's text only changes when it differs, so a caret in the edit stays where it is.
void SetTextIfChanged(Form& form, int id, const std::string& text) {
  if (form.GetText(id) != text) form.SetText(id, text);
}

constexpr int64_t kMicrosPerSecond = 1000000;

}  // namespace

int64_t SteadyClockMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int32_t DisplaySizeLimit(int32_t displayBase, int32_t workAreaHeight) {
  // The largest k with (k x base) / 15 <= height, i.e. k x base < 15 x (height + 1).
  const int64_t base = std::max(displayBase, 1);
  const int64_t limit = (int64_t{kDisplaySizeBase} * (int64_t{workAreaHeight} + 1) - 1) / base;
  return static_cast<int32_t>(std::clamp<int64_t>(limit, 0, 0x7FFF));
}

uint32_t BeatColour(int32_t beat, int32_t beatsPerBar) {
  const auto blue = static_cast<uint32_t>(beat * 255 / std::max(beatsPerBar, 1)) & 0xFF;
  return 0xFFFF00u | blue;
}

Metronome::Metronome(Ui& ui, Form& form, Timers& timers, BeatDisplay& display,
                     AudioBackend& backend, MicrosClock clock)
    : clickDevice(backend),
      ui_(ui),
      form_(form),
      timers_(timers),
      display_(display),
      clock_(std::move(clock)) {
  // The clicks are rendered seconds ahead: the stream may sit on a deep buffer.
  clickDevice.plannedOutput = true;
}

Metronome::~Metronome() {
  timers_.Kill(timer::kMetronome);
}

void Metronome::OnInitDialog(int32_t displayHeight, int32_t workAreaHeight) {
  displayBase = displayHeight;
  const int32_t sizeLimit = DisplaySizeLimit(displayBase, workAreaHeight);
  try {
    clickNormal.assign(kClickSamples, kSilence);
    clickAccent.assign(kClickSamples, kSilence);
    ring_.assign(size_t{kBlockSlots} * kClickStreamBlock, kSilence);
  } catch (const std::bad_alloc&) {
    clickNormal = {};
    clickAccent = {};
    ring_ = {};
    ui_.ShowError(msg::kBufferFailed);
    return;
  }
  buffersReady_ = true;
  form_.SetRange(metctl::kVolume, 0, kVolumeSilent);
  form_.SetRange(metctl::kTempoSpin, kTempoMin, kTempoMax);
  form_.SetPosition(metctl::kTempoSpin, 120);
  form_.SetRange(metctl::kBeatsSpin, kBeatsMin, kBeatsMax);
  form_.SetPosition(metctl::kBeatsSpin, 4);
  tempo = 120;
  beatsPerBar = 4;
  WriteMembers();
  form_.SetRange(metctl::kDisplaySize, 0, sizeLimit);
  form_.SetPosition(metctl::kDisplaySize, std::min(kDisplaySizeBase, sizeLimit));
}

void Metronome::WriteMembers() {
  SetTextIfChanged(form_, metctl::kTempoEdit, std::to_string(tempo));
  SetTextIfChanged(form_, metctl::kBeatsEdit, std::to_string(beatsPerBar));
  form_.SetCheck(metctl::kChime, chime != 0);
  form_.SetPosition(metctl::kVolume, volumePos);
}

bool Metronome::CheckField(int editId, int spinId, int32_t min, int32_t max, int32_t& value) {
  const std::optional<std::string> refusal =
      LimitIntegerField(form_.GetText(editId), min, max, value);
  // The field is right before the message shows: the focus leaving for the message box checks
  // it again and finds nothing to say.
  form_.SetPosition(spinId, value);
  SetTextIfChanged(form_, editId, std::to_string(value));
  if (!refusal) return true;
  ui_.ShowMessage(*refusal, MessageIcon::Exclamation, MessageButtons::Ok);
  return false;
}

bool Metronome::CheckFields() {
  return CheckField(metctl::kTempoEdit, metctl::kTempoSpin, kTempoMin, kTempoMax, tempo) &&
         CheckField(metctl::kBeatsEdit, metctl::kBeatsSpin, kBeatsMin, kBeatsMax, beatsPerBar);
}

void Metronome::OnTempoArrow(int direction) {
  tempo = std::clamp(form_.GetPosition(metctl::kTempoSpin) + direction, kTempoMin, kTempoMax);
  form_.SetPosition(metctl::kTempoSpin, tempo);
  WriteMembers();
}

void Metronome::OnBeatsArrow(int direction) {
  beatsPerBar = std::clamp(form_.GetPosition(metctl::kBeatsSpin) + direction, kBeatsMin, kBeatsMax);
  form_.SetPosition(metctl::kBeatsSpin, beatsPerBar);
  WriteMembers();
}

void Metronome::OnDisplaySizeArrow(int direction) {
  // The control keeps the position within its range.
  form_.SetPosition(metctl::kDisplaySize, form_.GetPosition(metctl::kDisplaySize) + direction);
}

void Metronome::OnTempoEdited() {
  if (const auto typed = IntegerFieldValue(form_.GetText(metctl::kTempoEdit), kTempoMin, kTempoMax)) {
    tempo = *typed;
    form_.SetPosition(metctl::kTempoSpin, tempo);
  }
}

void Metronome::OnBeatsEdited() {
  if (const auto typed = IntegerFieldValue(form_.GetText(metctl::kBeatsEdit), kBeatsMin, kBeatsMax)) {
    beatsPerBar = *typed;
    form_.SetPosition(metctl::kBeatsSpin, beatsPerBar);
  }
}

void Metronome::OnTempoLeft() {
  CheckField(metctl::kTempoEdit, metctl::kTempoSpin, kTempoMin, kTempoMax, tempo);
}

void Metronome::OnBeatsLeft() {
  CheckField(metctl::kBeatsEdit, metctl::kBeatsSpin, kBeatsMin, kBeatsMax, beatsPerBar);
}

void Metronome::OnChimeClicked() {
  chime = 1 - chime;
  WriteMembers();
}

void Metronome::OnVolumeMoved() {
  volumePos = std::clamp(form_.GetPosition(metctl::kVolume), 0, kVolumeSilent);
}

void Metronome::OnStartStop() {
  if (form_.GetText(metctl::kStartStop) == msg::kStartCaption) {
    Start();
  } else {
    Stop();
  }
}

void Metronome::OnClose() {
  CheckFields();
  if (form_.GetText(metctl::kStartStop) == msg::kStopCaption) Stop();
}

void Metronome::Start() {
  // A refused field is shown limited first: the user starts again with what it now says. The
  // check box is the program's own (it does not toggle itself): chime is kept as it is.
  if (!CheckFields()) return;
  OnVolumeMoved();
  beat = 1;
  nextShown_ = 0;
  sounding_ = false;
  // Without the buffers nothing can be synthesised: the metronome then runs silently.
  if (volumePos < kVolumeSilent && buffersReady_) {
    const double amplitude = ClickAmplitude(volumePos);
    clickNormal = MakeClick(kNormalClickPeriod, amplitude);
    clickAccent = MakeClick(kAccentClickPeriod, amplitude);
    sounding_ = OpenClickStream();
  }
  if (sounding_) {
    FollowStream();  // the first click is the stream's first sample: it shows at once
    timers_.Start(timer::kMetronome, timer::kMetronomeFollowMs);
  } else {
    silentOrigin_ = clock_();
    SilentTick();
  }
  form_.SetText(metctl::kStartStop, msg::kStopCaption);
  EnableSettings(false);
  running = true;
}

void Metronome::Stop() {
  timers_.Kill(timer::kMetronome);
  if (sounding_) clickDevice.ClosePlayback();
  sounding_ = false;
  display_.Hide();
  form_.SetText(metctl::kStartStop, msg::kStartCaption);
  EnableSettings(true);
  running = false;
}

void Metronome::EnableSettings(bool enabled) {
  for (int id : kSettingControls) form_.Enable(id, enabled);
}

bool Metronome::OpenClickStream() {
  clickDevice.sampleRate = kClickRate;
  clickDevice.bitsPerSample = 8;
  clickDevice.channels = 1;
  clickDevice.blockLength = kClickStreamBlock;
  clickDevice.lastBlockLength = 0;  // the stream has no end
  for (uint32_t n = 0; n < kBlockSlots; ++n) {
    clickDevice.blockData[n] = ring_.data() + size_t{n} * kClickStreamBlock;
    RenderBlock(n);
  }
  clickDevice.lastIndex = kBlockSlots - 1;
  if (!clickDevice.OpenPlayback(outputDevice, false)) return false;
  latencyFrames_ = clickDevice.OutputLatencyFrames();
  return true;
}

void Metronome::RenderBlock(uint32_t block) {
  uint8_t* out = ring_.data() + size_t{block % kBlockSlots} * kClickStreamBlock;
  std::memset(out, kSilence, kClickStreamBlock);
  const uint64_t first = uint64_t{block} * kClickStreamBlock;
  const uint64_t end = first + kClickStreamBlock;
  // The first click that may still sound in this block: one before the estimate, then forward.
  uint64_t k = first * static_cast<uint64_t>(tempo) / (60 * uint64_t{kClickRate});
  k = k > 0 ? k - 1 : 0;
  while (ClickStartSample(k, tempo) + kClickSamples <= first) ++k;
  for (; ClickStartSample(k, tempo) < end; ++k) {
    const uint64_t start = ClickStartSample(k, tempo);
    const bool accent = chime != 0 && k % static_cast<uint64_t>(beatsPerBar) == 0;
    const std::vector<uint8_t>& click = accent ? clickAccent : clickNormal;
    const uint64_t from = std::max(start, first);
    const uint64_t to = std::min(start + kClickSamples, end);
    std::memcpy(out + (from - first), click.data() + (from - start), to - from);
  }
}

void Metronome::RefillStream() {
  const uint32_t done = clickDevice.doneCount.load(std::memory_order_acquire);
  const uint32_t last = done + kBlockSlots - 1;
  if (last <= clickDevice.lastIndex) return;
  for (uint32_t n = clickDevice.lastIndex + 1; n <= last; ++n) RenderBlock(n);
  clickDevice.lastIndex = last;
  clickDevice.QueuePending();
}

void Metronome::OnTimer(int id) {
  if (id != timer::kMetronome || !running) return;
  if (sounding_) {
    FollowStream();
  } else {
    SilentTick();
  }
}

void Metronome::FollowStream() {
  if (!clickDevice.CheckOutput()) {
    GoSilent();
    return;
  }
  RefillStream();
  // A click is heard once the stream has handed it over and the sound system's latency passed.
  const uint64_t played = clickDevice.OutputBytesPlayed();
  ShowLatestDue([&](uint64_t k) { return ClickStartSample(k, tempo) + latencyFrames_ <= played; });
}

void Metronome::ShowLatestDue(const std::function<bool(uint64_t)>& due) {
  if (!due(nextShown_)) return;
  // Only the latest beat due is drawn: a late tick does not replay the ones it missed.
  while (due(nextShown_ + 1)) ++nextShown_;
  const auto shown = static_cast<int32_t>(nextShown_ % static_cast<uint64_t>(beatsPerBar)) + 1;
  ++nextShown_;
  if (beatsPerBar > 1) ShowBeat(shown);
  beat = shown >= beatsPerBar ? 1 : shown + 1;
}

void Metronome::GoSilent() {
  // Where the ear is in the stream now: the beats go on from there on the same grid.
  const auto heard = static_cast<int64_t>(clickDevice.OutputBytesPlayed()) - latencyFrames_;
  clickDevice.ClosePlayback();
  sounding_ = false;
  silentOrigin_ = clock_() - heard * kMicrosPerSecond / kClickRate;
  SilentTick();
}

void Metronome::SilentTick() {
  const int64_t elapsed = clock_() - silentOrigin_;
  ShowLatestDue([&](uint64_t k) { return BeatTimeMicros(k, tempo) <= elapsed; });
  // The timer is set for the first millisecond at or after the next beat; a tick that comes
  // before it finds nothing due and waits again.
  const int64_t wait = BeatTimeMicros(nextShown_, tempo) - elapsed;
  const int64_t waitMs = std::max<int64_t>((wait + 999) / 1000, 1);
  timers_.Start(timer::kMetronome, static_cast<int>(waitMs));
}

void Metronome::ShowBeat(int32_t b) {
  const int32_t size = form_.GetPosition(metctl::kDisplaySize) & 0xFFFF;
  if (size == 0) {
    display_.Hide();
    return;
  }
  const int32_t side = size * displayBase / kDisplaySizeBase;
  display_.Show(side, std::to_string(b), BeatColour(b, beatsPerBar), size * 10);
}

void Metronome::OnDestroy() {
  timers_.Kill(timer::kMetronome);
  if (running && sounding_) clickDevice.ClosePlayback();
  sounding_ = false;
  running = false;
  clickNormal = {};
  clickAccent = {};
  ring_ = {};
  buffersReady_ = false;
}

}  // namespace velmora
