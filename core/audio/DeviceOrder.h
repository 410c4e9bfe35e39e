#pragma once
// Which of the sound system's devices the program offers, and in what order. The device dialog
// lists four per direction beside the default device, and a Linux machine reports many more:
// the sound server's devices (PulseAudio, PipeWire), the cards' hardware devices, and ALSA
// plug-ins that only re-route one of those (sysdefault, dmix, surround51, iec958, ...). A user
// picks the sound server or a card, so those come first and the plug-ins are left out.
//
// Names are those PortAudio gives: a plug-in by its ALSA name ("pulse", "dmix",
// "front:CARD=PCH,DEV=0"), a hardware device as "card: device (hw:0,0)".

#include <string>
#include <vector>

namespace velmora {

// In the order they are offered.
enum class DeviceRank {
  SoundServer,      // pulse, pipewire: follow the desktop's choice and mix with other programs
  Hardware,         // a card's analogue or USB device, "(hw:N,M)" or "(plughw:N,M)"
  Other,            // a name the program does not know: a user's own ALSA device, a JACK port
  DigitalHardware,  // a card's HDMI, DisplayPort or S/PDIF device: rarely the one meant
  Hidden,           // an ALSA plug-in over another device, or the default device itself
};

DeviceRank RankOfDevice(const std::string& name);

// Positions in `names` of the devices to offer, best first; equal ranks keep the system's
// order, hidden devices are left out.
std::vector<int> OfferedDeviceOrder(const std::vector<std::string>& names);

// The name shown for a device: the sound servers by their product names ("PulseAudio",
// "PipeWire"), every other device as the system names it.
std::string OfferedDeviceName(const std::string& name);

}  // namespace velmora
