// Which devices a Linux machine's list offers and in what order: the sound server first, then
// the cards' analogue and USB devices, unknown names, digital outputs; ALSA plug-ins never.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/DeviceOrder.h"

namespace velmora {
namespace {

TEST(DeviceOrderTest, EachNameHasItsRank) {
  const struct {
    const char* name;
    DeviceRank rank;
  } cases[] = {
      {"pulse", DeviceRank::SoundServer},
      {"pipewire", DeviceRank::SoundServer},
      {"HDA Intel PCH: ALC892 Analog (hw:0,0)", DeviceRank::Hardware},
      {"USB Audio CODEC: - (hw:2,0)", DeviceRank::Hardware},
      {"Scarlett 2i2 USB: Audio (plughw:1,0)", DeviceRank::Hardware},
      {"HDA Intel PCH: HDMI 0 (hw:0,3)", DeviceRank::DigitalHardware},
      {"HDA NVidia: DELL U2415 (hw:1,7)", DeviceRank::DigitalHardware},
      {"HDA ATI HDMI: 0 (hw:1,3)", DeviceRank::DigitalHardware},
      {"HDA Intel PCH: ALC1220 Digital (hw:0,1)", DeviceRank::DigitalHardware},
      {"system", DeviceRank::Other},
      {"mydac", DeviceRank::Other},
      {"default", DeviceRank::Hidden},
      {"sysdefault", DeviceRank::Hidden},
      {"front", DeviceRank::Hidden},
      {"front:CARD=PCH,DEV=0", DeviceRank::Hidden},
      {"surround40", DeviceRank::Hidden},
      {"surround71", DeviceRank::Hidden},
      {"iec958", DeviceRank::Hidden},
      {"spdif", DeviceRank::Hidden},
      {"hdmi", DeviceRank::Hidden},
      {"dmix", DeviceRank::Hidden},
      {"dsnoop", DeviceRank::Hidden},
      {"jack", DeviceRank::Hidden},
      {"oss", DeviceRank::Hidden},
      {"speexrate_medium", DeviceRank::Hidden},
      {"samplerate", DeviceRank::Hidden},
      {"upmix", DeviceRank::Hidden},
      {"vdownmix", DeviceRank::Hidden},
      {"lavrate", DeviceRank::Hidden},
      {"a52", DeviceRank::Hidden},
      {"", DeviceRank::Hidden},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RankOfDevice(c.name), c.rank) << c.name;
  }
}

TEST(DeviceOrderTest, MachinesOfferTheirBestDevicesFirst) {
  const struct {
    const char* machine;
    std::vector<std::string> names;  // as PortAudio lists them
    std::vector<int> offered;        // positions in `names`, best first
  } cases[] = {
      {"desktop with PulseAudio, onboard sound with HDMI, a USB headset",
       {"HDA Intel PCH: ALC892 Analog (hw:0,0)", "HDA Intel PCH: ALC892 Digital (hw:0,1)",
        "HDA Intel PCH: HDMI 0 (hw:0,3)", "HDA Intel PCH: HDMI 1 (hw:0,7)",
        "USB Headset: Audio (hw:1,0)", "sysdefault", "front", "surround40", "surround51",
        "surround71", "iec958", "hdmi", "pulse", "dmix", "default"},
       {12, 0, 4, 1, 2, 3}},
      {"graphics card's sound listed before the onboard card",
       {"HDA NVidia: DELL U2415 (hw:0,3)", "HDA Intel PCH: ALC892 Analog (hw:1,0)", "pulse",
        "default"},
       {2, 1, 0}},
      {"PipeWire machine", {"sysdefault", "pipewire", "pulse", "default"}, {1, 2}},
      {"plug-ins only", {"default", "dmix", "sysdefault"}, {}},
      {"JACK running beside ALSA",
       {"system", "HDA Intel: ALC269 Analog (hw:0,0)", "default"},
       {1, 0}},
      {"nothing", {}, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OfferedDeviceOrder(c.names), c.offered) << c.machine;
  }
}

TEST(DeviceOrderTest, SoundServersShowTheirProductNames) {
  EXPECT_EQ(OfferedDeviceName("pulse"), "PulseAudio");
  EXPECT_EQ(OfferedDeviceName("pipewire"), "PipeWire");
  EXPECT_EQ(OfferedDeviceName("HDA Intel PCH: ALC892 Analog (hw:0,0)"),
            "HDA Intel PCH: ALC892 Analog (hw:0,0)");
}

}  // namespace
}  // namespace velmora
