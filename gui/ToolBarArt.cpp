#include "ToolBarArt.h"

#include <wx/bitmap.h>

#include "seams/CommandIds.h"

namespace velmora {

namespace {

// 16 x 15 tool images, drawn for this program.
const char* const kNewXpm[] = {
    "16 15 4 1",        ". c None",         "g c #A0A0A0",      "k c #303030",
    "w c #FFFFFF",      "................", "...kkkkkkk......", "...kwwwwwkk.....",
    "...kwwwwwkgk....", "...kwwwwwkggk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...",
    "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kwwwwwwwwk...",
    "...kwwwwwwwwk...", "...kwwwwwwwwk...", "...kkkkkkkkkk...", "................",
};

const char* const kOpenXpm[] = {
    "16 15 4 1",        ". c None",         "Y c #FBE7A1",      "k c #303030",
    "y c #F2C94C",      "................", "................", "..kkkkk.........",
    ".kYYYYYk........", ".kYYYYYYkkkkkkk.", ".kyyyyyyyyyyyyk.", ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.", ".kyyyyyyyyyyyyk.", ".kyyyyyyyyyyyyk.", ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.", ".kkkkkkkkkkkkkk.", "................", "................",
};

const char* const kSaveXpm[] = {
    "16 15 6 1",        ". c None",         "b c #2F6FD0",      "g c #A0A0A0",
    "k c #303030",      "l c #B8C4D8",      "w c #FFFFFF",      "................",
    ".kkkkkkkkkkkkk..", ".kbwwwwwwwwwbk..", ".kbwlllllllwbk..", ".kbwwwwwwwwwbk..",
    ".kbwlllllllwbk..", ".kbwwwwwwwwwbk..", ".kbbbbbbbbbbbk..", ".kbbbbbbbbbbbk..",
    ".kbbgggggggbbk..", ".kbbgggkkggbbk..", ".kbbgggkkggbbk..", ".kbbgggggggbbk..",
    ".kkkkkkkkkkkkk..", "................",
};

const char* const kStopXpm[] = {
    "16 15 2 1",        ". c None",         "k c #303030",      "................",
    "................", "...kkkkkkkkkk...", "...kkkkkkkkkk...", "...kkkkkkkkkk...",
    "...kkkkkkkkkk...", "...kkkkkkkkkk...", "...kkkkkkkkkk...", "...kkkkkkkkkk...",
    "...kkkkkkkkkk...", "...kkkkkkkkkk...", "...kkkkkkkkkk...", "................",
    "................", "................",
};

const char* const kPlayXpm[] = {
    "16 15 3 1",        ". c None",         "D c #1E7A3A",      "G c #3FB55F",
    "................", "....D...........", "....DD..........", "....DGD.........",
    "....DGGD........", "....DGGGD.......", "....DGGGGD......", "....DGGGGD......",
    "....DGGGD.......", "....DGGD........", "....DGD.........", "....DD..........",
    "....D...........", "................", "................",
};

const char* const kPauseXpm[] = {
    "16 15 2 1",        ". c None",         "k c #303030",      "................",
    "................", "....kkk..kkk....", "....kkk..kkk....", "....kkk..kkk....",
    "....kkk..kkk....", "....kkk..kkk....", "....kkk..kkk....", "....kkk..kkk....",
    "....kkk..kkk....", "....kkk..kkk....", "....kkk..kkk....", "................",
    "................", "................",
};

const char* const kRecordXpm[] = {
    "16 15 4 1",        ". c None",         "R c #A82020",      "p c #F59A9A",
    "r c #E03A3A",      "................", "................", ".....RRRRRR.....",
    "....RRrrrrRR....", "...RRpprrrrRR...", "...RrprrrrrrR...", "...RrrrrrrrrR...",
    "...RrrrrrrrrR...", "...RrrrrrrrrR...", "...RRrrrrrrRR...", "....RRrrrrRR....",
    ".....RRRRRR.....", "................", "................", "................",
};

const char* const kStartXpm[] = {
    "16 15 2 1",        ". c None",         "k c #303030",      "................",
    "................", "..kk.......kk...", "..kk......kkk...", "..kk....kkkkk...",
    "..kk...kkkkkk...", "..kk.kkkkkkkk...", "..kk.kkkkkkkk...", "..kk...kkkkkk...",
    "..kk....kkkkk...", "..kk......kkk...", "..kk.......kk...", "................",
    "................", "................",
};

const char* const kEndXpm[] = {
    "16 15 2 1",        ". c None",         "k c #303030",      "................",
    "................", "...kk.......kk..", "...kkk......kk..", "...kkkkk....kk..",
    "...kkkkkk...kk..", "...kkkkkkkk.kk..", "...kkkkkkkk.kk..", "...kkkkkk...kk..",
    "...kkkkk....kk..", "...kkk......kk..", "...kk.......kk..", "................",
    "................", "................",
};

const char* const kStartmarkXpm[] = {
    "16 15 3 1",        ". c None",         "b c #2F6FD0",      "k c #303030",
    "................", "..bbbbb.........", "..bbbbb.........", "..bbb...........",
    "..bbb...k.......", "..bbb...kk......", "..bbb...kkk.....", "..bbb...kkkk....",
    "..bbb...kkk.....", "..bbb...kk......", "..bbb...k.......", "..bbb...........",
    "..bbbbb.........", "..bbbbb.........", "................",
};

const char* const kEndmarkXpm[] = {
    "16 15 3 1",        ". c None",         "b c #2F6FD0",      "k c #303030",
    "................", ".........bbbbb..", ".........bbbbb..", "...........bbb..",
    ".......k...bbb..", "......kk...bbb..", ".....kkk...bbb..", "....kkkk...bbb..",
    ".....kkk...bbb..", "......kk...bbb..", ".......k...bbb..", "...........bbb..",
    ".........bbbbb..", ".........bbbbb..", "................",
};

const char* const kMonoXpm[] = {
    "16 15 4 1",        ". c None",         "b c #2F6FD0",      "k c #303030",
    "w c #FFFFFF",      "................", "................", "......k.........",
    ".....kk.....b...", "....kwk......b..", ".kkkkwk...b..b..", ".kwwwwk....b..b.",
    ".kwwwwk....b..b.", ".kwwwwk....b..b.", ".kkkkwk...b..b..", "....kwk......b..",
    ".....kk.....b...", "......k.........", "................", "................",
};

const char* const kCh1Xpm[] = {
    "16 15 4 1",        ". c None",         "C c #D0483C",      "k c #303030",
    "w c #FFFFFF",      "..kkkkkkkkkkkk..", ".kCCCCCCCCCCCCk.", ".kCCCCCCCCCCCCk.",
    ".kCCCCCCCCCCCCk.", ".kCCCCCwwCCCCCk.", ".kCCCCwwwCCCCCk.", ".kCCCCCwwCCCCCk.",
    ".kCCCCCwwCCCCCk.", ".kCCCCCwwCCCCCk.", ".kCCCCCwwCCCCCk.", ".kCCCCwwwwCCCCk.",
    ".kCCCCCCCCCCCCk.", ".kCCCCCCCCCCCCk.", ".kCCCCCCCCCCCCk.", "..kkkkkkkkkkkk..",
};

const char* const kCh2Xpm[] = {
    "16 15 4 1",        ". c None",         "E c #3A8F4A",      "k c #303030",
    "w c #FFFFFF",      "..kkkkkkkkkkkk..", ".kEEEEEEEEEEEEk.", ".kEEEEEEEEEEEEk.",
    ".kEEEEEEEEEEEEk.", ".kEEEEwwwwEEEEk.", ".kEEEwwEEwwEEEk.", ".kEEEEEEEwwEEEk.",
    ".kEEEEEEwwEEEEk.", ".kEEEEEwwEEEEEk.", ".kEEEEwwEEEEEEk.", ".kEEEwwwwwwEEEk.",
    ".kEEEEEEEEEEEEk.", ".kEEEEEEEEEEEEk.", ".kEEEEEEEEEEEEk.", "..kkkkkkkkkkkk..",
};

const char* const kCh3Xpm[] = {
    "16 15 4 1",        ". c None",         "F c #2F6FD0",      "k c #303030",
    "w c #FFFFFF",      "..kkkkkkkkkkkk..", ".kFFFFFFFFFFFFk.", ".kFFFFFFFFFFFFk.",
    ".kFFFFFFFFFFFFk.", ".kFFFwwwwwFFFFk.", ".kFFFFFFFwwFFFk.", ".kFFFFFFFwwFFFk.",
    ".kFFFFwwwwFFFFk.", ".kFFFFFFFwwFFFk.", ".kFFFFFFFwwFFFk.", ".kFFFwwwwwFFFFk.",
    ".kFFFFFFFFFFFFk.", ".kFFFFFFFFFFFFk.", ".kFFFFFFFFFFFFk.", "..kkkkkkkkkkkk..",
};

const char* const kCh4Xpm[] = {
    "16 15 4 1",        ". c None",         "H c #C08A1E",      "k c #303030",
    "w c #FFFFFF",      "..kkkkkkkkkkkk..", ".kHHHHHHHHHHHHk.", ".kHHHHHHHHHHHHk.",
    ".kHHHHHHHHHHHHk.", ".kHHHHHHwwHHHHk.", ".kHHHHHwwwHHHHk.", ".kHHHHwwwwHHHHk.",
    ".kHHHwwHwwHHHHk.", ".kHHHwwwwwwHHHk.", ".kHHHHHHwwHHHHk.", ".kHHHHHHwwHHHHk.",
    ".kHHHHHHHHHHHHk.", ".kHHHHHHHHHHHHk.", ".kHHHHHHHHHHHHk.", "..kkkkkkkkkkkk..",
};

const char* const kAboutXpm[] = {
    "16 15 3 1",        ". c None",         "b c #2F6FD0",      "w c #FFFFFF",
    "................", ".....bbbbbb.....", "....bbbbbbbb....", "...bbbbwwbbbb...",
    "..bbbbbwwbbbbb..", "..bbbbbbbbbbbb..", ".bbbbbwwwbbbbbb.", ".bbbbbbwwbbbbbb.",
    ".bbbbbbwwbbbbbb.", "..bbbbbwwbbbbb..", "..bbbbbwwbbbbb..", "...bbbwwwwbbb...",
    "....bbbbbbbb....", ".....bbbbbb.....", "................",
};

const char* const* XpmFor(int id) {
  using namespace cmd;
  switch (id) {
    case kNew:
      return kNewXpm;
    case kOpen:
      return kOpenXpm;
    case kSave:
      return kSaveXpm;
    case kStop:
      return kStopXpm;
    case kPlay:
      return kPlayXpm;
    case kPause:
      return kPauseXpm;
    case kRecord:
      return kRecordXpm;
    case kGoToStart:
      return kStartXpm;
    case kGoToEnd:
      return kEndXpm;
    case kStartMark:
      return kStartmarkXpm;
    case kEndMark:
      return kEndmarkXpm;
    case kMonoPlayback:
      return kMonoXpm;
    case kSelectChannel:
      return kCh1Xpm;
    case kSelectChannel + 1:
      return kCh2Xpm;
    case kSelectChannel + 2:
      return kCh3Xpm;
    case kSelectChannel + 3:
      return kCh4Xpm;
    case kAbout:
      return kAboutXpm;
    default:
      return nullptr;
  }
}

}  // namespace

wxBitmap ToolImage(int id) {
  const char* const* xpm = XpmFor(id);
  return xpm != nullptr ? wxBitmap(xpm) : wxBitmap();
}

}  // namespace velmora
