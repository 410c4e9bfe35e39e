#pragma once
// Command ids of the menu, accelerators and tool bar. Per-channel commands come in runs of four.

namespace velmora::cmd {

constexpr int kNew = 57600;
constexpr int kOpen = 57601;
constexpr int kSave = 57603;
constexpr int kSaveAs = 57604;
constexpr int kSaveBetweenMarks = 162;
constexpr int kSaveChannel = 151;     // 151..154
constexpr int kReleaseChannel = 155;  // 155..158
constexpr int kProperties = 160;
constexpr int kExit = 57665;
constexpr int kUndo = 57643;
constexpr int kRedo = 57644;
constexpr int kConvertToMono = 145;  // 145..148
constexpr int kTrim = 32813;         // 32813..32816
constexpr int kPlay = 32778;
constexpr int kRecord = 32781;
constexpr int kStop = 32779;
constexpr int kPause = 32780;
constexpr int kMonoPlayback = 164;
constexpr int kSelectChannel = 166;  // 166..169
constexpr int kGoToStart = 32782;
constexpr int kGoToEnd = 32783;
constexpr int kStartMark = 32790;
constexpr int kEndMark = 32793;
constexpr int kGoToOffset = 32804;  // 32804..32807
constexpr int kFadeInWhole = 32822;
constexpr int kFadeOutWhole = 32831;
constexpr int kFadeIn[4] = {32824, 32825, 32828, 32827};
constexpr int kFadeOut[4] = {32830, 32832, 32834, 32835};
constexpr int kRecordSetup = 32796;
constexpr int kMetronome = 32818;
constexpr int kAudioDevices = 32798;
constexpr int kCorrections = 32797;
constexpr int kHelpFinder = 57667;
constexpr int kAbout = 57664;

// The channel (0..3) of a per-channel command in a run of four starting at `first`, or -1.
constexpr int ChannelOf(int id, int first) {
  return id >= first && id < first + 4 ? id - first : -1;
}

}  // namespace velmora::cmd
