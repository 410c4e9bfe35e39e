#pragma once
// What the views are told after a change to the document, so that each does what that change
// needs: refresh a channel's controls, let go of a take's recovery file once the take has a file
// of its own, leave the recording format alone when a take arrives.

namespace velmora {

// Why a channel's whole content changed.
enum class ChannelEvent {
  Loaded,     // a file was read into it
  Recorded,   // a take was stored into it
  Recovered,  // a take left by a crash was loaded into it
  Edited,     // converted to mono or trimmed
  Released,   // emptied
  Restored,   // an earlier content put back
};

struct DocumentNotice {
  enum class What {
    Refresh,          // anything may have changed (New, a build, marks, a file chosen)
    ChannelSettings,  // a channel's level, balance, offset or selection, or a fade
    ChannelContent,   // a channel's whole content (see `why`)
    ChannelSaved,     // a channel was written to a file of its own
  };
  What what = What::Refresh;
  int channel = -1;  // 0..3 for the channel notices
  ChannelEvent why = ChannelEvent::Loaded;

  static DocumentNotice Refresh() { return {}; }
  static DocumentNotice Settings(int channel) { return {What::ChannelSettings, channel}; }
  static DocumentNotice Content(int channel, ChannelEvent why) {
    return {What::ChannelContent, channel, why};
  }
  static DocumentNotice Saved(int channel) { return {What::ChannelSaved, channel}; }
};

}  // namespace velmora
