#pragma once
// In-memory stand-ins for the settings store and the master volume, for tests that build the
// program's services without touching the user's files or the sound system.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "seams/MasterVolume.h"
#include "seams/SettingsStore.h"

namespace velmora::test {

class MemorySettings : public SettingsStore {
 public:
  bool OpenKey() override { return true; }
  bool CreateKey() override { return true; }
  std::optional<std::vector<uint8_t>> ReadValue(const std::string& name) override {
    const auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool WriteValue(const std::string& name, const std::vector<uint8_t>& bytes) override {
    values[name] = bytes;
    return true;
  }
  void CloseKey() override {}

  std::map<std::string, std::vector<uint8_t>> values;
};

// A master volume control with a fixed range that remembers what was set.
class FakeVolume : public MasterVolume {
 public:
  FakeVolume(int32_t min, int32_t max, int32_t initial) : min_(min), max_(max), value(initial) {}
  VolumeRange GetMasterVolumeRange() override { return {max_, min_}; }
  int32_t GetMasterVolume() override { return value; }
  bool SetMasterVolume(int32_t v) override {
    value = v;
    return true;
  }

 private:
  int32_t min_;
  int32_t max_;

 public:
  int32_t value;
};

}  // namespace velmora::test
