#include "document/CommandRules.h"

#include "seams/CommandIds.h"

namespace velmora {

namespace {

struct Rule {
  bool known = true;
  bool enabled = false;
  // Where the command carries a check mark: its value when enabled.
  bool hasCheck = false;
  bool checked = false;
  // The two exceptions: the mark shows regardless of the enabled state, or is left alone.
  bool checkAlways = false;
  bool keepCheckWhenDisabled = false;
};

Rule Enabled(bool enabled) {
  Rule r;
  r.enabled = enabled;
  return r;
}

Rule Checked(bool enabled, bool checked) {
  Rule r = Enabled(enabled);
  r.hasCheck = true;
  r.checked = checked;
  return r;
}

int ChannelIn(int id, const int (&ids)[4]) {
  for (int i = 0; i < 4; ++i) {
    if (ids[i] == id) return i;
  }
  return -1;
}

Rule PerChannelRule(const CVelmoraDoc& doc, int id) {
  using namespace cmd;
  const bool idle = doc.IsIdle();
  const bool stopped = doc.transportState() == TransportState::Stopped;
  const bool noWorker = !doc.workerBusy();
  const auto has = [&](int i) { return doc.slot(i).HasData(); };

  if (int i = ChannelOf(id, kSaveChannel); i >= 0) return Enabled(has(i) && stopped);
  if (int i = ChannelOf(id, kReleaseChannel); i >= 0) return Enabled(has(i) && idle);
  if (int i = ChannelOf(id, kConvertToMono); i >= 0) {
    return Enabled(has(i) && doc.slot(i).IsStereo() && stopped);
  }
  if (int i = ChannelOf(id, kTrim); i >= 0) {
    const uint32_t frames = doc.slot(i).frames;
    const bool endInside = doc.endMark() > 0 && frames > 0 && doc.endMark() < frames - 1;
    return Enabled(has(i) && (doc.startMark() > 0 || (endInside && stopped)));
  }
  if (int i = ChannelOf(id, kSelectChannel); i >= 0) {
    return Checked(has(i) && noWorker, has(i) && doc.slot(i).selected);
  }
  if (int i = ChannelOf(id, kGoToOffset); i >= 0) return Enabled(has(i) && noWorker);
  if (int i = ChannelIn(id, kFadeIn); i >= 0) return Enabled(has(i) && idle);
  if (int i = ChannelIn(id, kFadeOut); i >= 0) return Enabled(has(i) && idle);
  Rule unknown;
  unknown.known = false;
  return unknown;
}

Rule RuleFor(const CVelmoraDoc& doc, int id) {
  using namespace cmd;
  const bool idle = doc.IsIdle();
  const bool stopped = doc.transportState() == TransportState::Stopped;
  const bool tuning = doc.transportState() == TransportState::TuningTone;
  const bool hasMix = doc.HasMix();
  const bool any = doc.HasAnyChannel();

  switch (id) {
    case kNew:
    case kOpen:
      return Enabled(idle);
    case kSave:
    case kSaveAs:
      return Enabled(hasMix && idle);
    case kSaveBetweenMarks: {
      const bool wholeMix = doc.startMark() == 0 && doc.endMark() == doc.mixFrames() - 1;
      return Enabled(hasMix && idle && !wholeMix);
    }
    case kProperties:
      return Enabled(any);
    case kMonoPlayback: {
      Rule r = Checked(any && !doc.workerBusy(), doc.monoPlayback());
      r.checkAlways = true;
      return r;
    }
    case kRecordSetup:
    case kAudioDevices:
      return Enabled(stopped);
    case kCorrections:
      // Read the stale flag first: while a build runs it is set and the log is not looked at.
      return Enabled(!doc.mixStale() && doc.correctionCount() != 0);
    case kMetronome:
    case kExit:
    case kHelpFinder:
    case kAbout:
      return Enabled(true);
    case kFadeInWhole:
    case kFadeOutWhole:
      return Enabled(idle);
    case kPlay:
      return Checked(any && !tuning, doc.transportState() == TransportState::Playing);
    case kPause: {
      Rule r = Checked(!tuning, doc.paused());
      r.keepCheckWhenDisabled = true;
      return r;
    }
    case kRecord: {
      Rule r = Checked(!tuning, doc.transportState() == TransportState::Recording);
      r.keepCheckWhenDisabled = true;
      return r;
    }
    case kStop: {
      Rule r = Checked(!tuning, stopped);
      r.keepCheckWhenDisabled = true;
      return r;
    }
    case kUndo:
    case kRedo: {
      // Not while recording, as no other edit is; a step that puts back or takes away a whole
      // channel only when nothing plays or builds, as loading and releasing.
      const UndoHistory& history = doc.history();
      const bool undo = id == kUndo;
      const bool can = undo ? history.CanUndo() : history.CanRedo();
      const bool replaces = undo ? history.UndoReplacesAChannel() : history.RedoReplacesAChannel();
      return Enabled(can && doc.transportState() != TransportState::Recording &&
                     (idle || !replaces));
    }
    case kGoToStart:
    case kGoToEnd:
      return Enabled(hasMix);
    case kStartMark:
      return Checked(hasMix, doc.startMark() != 0);
    case kEndMark:
      return Checked(hasMix, doc.endMark() != 0 && doc.endMark() != doc.mixFrames() - 1);
    default:
      return PerChannelRule(doc, id);
  }
}

}  // namespace

CommandState QueryCommandState(const CVelmoraDoc& doc, int commandId) {
  const Rule rule = RuleFor(doc, commandId);
  CommandState state;
  state.known = rule.known;
  state.enabled = rule.enabled;
  if (!rule.hasCheck) {
    state.check = CheckMark::Unchanged;
  } else if (!rule.enabled && !rule.checkAlways) {
    // A disabled command loses its mark, except where the mark is left as it was.
    state.check = rule.keepCheckWhenDisabled ? CheckMark::Unchanged : CheckMark::Off;
  } else {
    state.check = rule.checked ? CheckMark::On : CheckMark::Off;
  }
  if (commandId == cmd::kUndo) state.stepName = doc.history().UndoName();
  if (commandId == cmd::kRedo) state.stepName = doc.history().RedoName();
  return state;
}

}  // namespace velmora
