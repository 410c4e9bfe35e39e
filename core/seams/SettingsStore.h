#pragma once
// The program's one persistent key ("SoftWare\Dulvik\Velmora") with its binary values. The real
// store is wxConfig: a file under the XDG config folder on Linux, the registry on Windows. Tests
// use a scripted store. User-interface thread only.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora {

inline constexpr const char* kSettingsKey = "SoftWare\\Dulvik\\Velmora";
// The framework keeps its own profile (the recent-file list, 4 entries) under
// "Software\<this name>\Velmora".
inline constexpr const char* kProfileKeyName =
    "アプリケーション ウィザードで生成されたローカル アプリケーション";
inline constexpr int kRecentFileCount = 4;

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // Opens the key for reading; false when it does not exist or cannot be opened.
  virtual bool OpenKey() = 0;
  // Creates the key, or opens it when present, for writing; false on failure.
  virtual bool CreateKey() = 0;
  // The bytes of a value of the open key as stored, whatever their length; nothing when the
  // value is absent or cannot be read.
  virtual std::optional<std::vector<uint8_t>> ReadValue(const std::string& name) = 0;
  // Stores a binary value in the created key; false when it was not stored.
  virtual bool WriteValue(const std::string& name, const std::vector<uint8_t>& bytes) = 0;
  // Closes the key, after reading or writing, whether they succeeded or not.
  virtual void CloseKey() = 0;
};

}  // namespace velmora
