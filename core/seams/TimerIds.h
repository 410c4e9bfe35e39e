#pragma once
// Every window timer's id. A window's timers tick every target registered with it, and each
// target tells its own ticks by these ids, so two timers of one window must not share a number.
// A new timer takes a free number here; the intervals stay beside the code that starts them.

namespace velmora::timer {

constexpr int kPlayback = 1;     // transport: refill, end of data, meters, position
constexpr int kRecording = 2;    // recorder: moves the input's filled blocks into the take
constexpr int kCountdown = 3;    // recorder: the self-timer's one-second steps
constexpr int kToneAndBeep = 4;  // tuning tone's refill; during a countdown the recorder's beeps
constexpr int kMixWatch = 5;     // transport: watches a background mix build
constexpr int kMetronome = 7;    // metronome dialog: the beat display follows the click stream

}  // namespace velmora::timer
