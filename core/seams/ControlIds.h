#pragma once
// Control ids of the main form (and the channel strips, in channel order).

namespace velmora::ctl {

constexpr int kMakeMix = 1001;
constexpr int kPositionTime = 1002;
constexpr int kPositionSlider = 1009;
constexpr int kMasterVolume = 1014;
constexpr int kMeterLeft = 1027;
constexpr int kMeterRight = 1028;
constexpr int kTuningButton = 1042;
constexpr int kTuningSpin = 1054;

constexpr int kChannelCheck[4] = {1010, 1013, 1019, 1024};
constexpr int kLevel[4] = {1003, 1004, 1015, 1020};
constexpr int kBalance[4] = {1005, 1008, 1016, 1021};
constexpr int kOffsetEdit[4] = {1007, 1012, 1018, 1023};
constexpr int kOffsetSpin[4] = {1006, 1011, 1017, 1022};
constexpr int kChannelFrame[4] = {1038, 1039, 1040, 1041};

}  // namespace velmora::ctl
