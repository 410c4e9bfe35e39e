#pragma once
// Changes to the document as values. The document applies one (CVelmoraDoc::Apply) and hands back
// the change that undoes it, holding what it replaced: the old setting, a channel's whole
// former content (a released channel's samples), or the ends a trim cut. A history of changes needs
// nothing else of the document, and the document changes only this way.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "document/ChannelSlot.h"
#include "mixdown/FadeCurve.h"
#include "seams/DocumentNotice.h"

namespace velmora {

// A channel's mixer settings (channel 0..3).
struct LevelChange {
  int channel = 0;
  int32_t level = 0;
};
struct BalanceChange {
  int channel = 0;
  int32_t balance = 0;
};
struct OffsetChange {
  int channel = 0;
  int32_t milliseconds = 0;
};
struct SelectionChange {
  int channel = 0;
  bool selected = false;
};
// A fade of a channel (0..3) or of the whole mix (kWholeMix).
struct FadeChange {
  enum class Direction { In, Out };
  Direction direction = Direction::In;
  int index = 0;
  FadeSetting fade{};
};
struct MonoPlaybackChange {
  bool on = false;
};
// Frames of the mix; 0 is an unset start mark, 0 or the last frame an unset end mark.
struct MarksChange {
  uint32_t start = 0;
  uint32_t end = 0;
};
struct OutputPathChange {
  std::string path;
};
// A channel's whole content: samples, format, path and settings. An empty slot empties the
// channel. `why` says what the views are told.
struct ChannelContentChange {
  int channel = 0;
  ChannelSlot content;
  ChannelEvent why = ChannelEvent::Loaded;
};

// A channel's ends replaced, its middle kept as it is: `dropHead` frames off the start and
// `dropTail` off the end (with any bytes past the last whole frame), then `head` put before and
// `tail` after what is left, and the level, automatic level and offset set. A trim and what
// undoes it hold only the channel's ends, never its whole samples.
struct TrimChange {
  int channel = 0;
  uint32_t dropHead = 0;
  uint32_t dropTail = 0;
  ByteBuffer head;
  ByteBuffer tail;
  int32_t level = 0;
  int32_t autoLevel = 0;
  int32_t offset = 0;
};

using DocumentChange = std::variant<LevelChange, BalanceChange, OffsetChange, SelectionChange,
                                    FadeChange, MonoPlaybackChange, MarksChange, OutputPathChange,
                                    ChannelContentChange, TrimChange>;

// Changes in a list, moved in (a change may hold samples, which are never copied).
template <typename... Changes>
std::vector<DocumentChange> ChangeList(Changes&&... changes) {
  std::vector<DocumentChange> list;
  list.reserve(sizeof...(Changes));
  (list.emplace_back(std::forward<Changes>(changes)), ...);
  return list;
}

// What the views are told of a change once it is applied.
DocumentNotice NoticeOf(const DocumentChange& change);
// What the Edit menu calls a change the user made, with its channel: "レベル (Ch1)".
std::string StepNameOf(const DocumentChange& change);

}  // namespace velmora
