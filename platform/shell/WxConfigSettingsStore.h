#pragma once
// The settings key on wxConfig. On Linux the key is a group of one file under the XDG config
// folder, values stored as base64; on Windows it is the registry key itself. The file is read
// afresh for every opening and written (through a temporary file) after every value, so two
// writers at shut-down never undo each other's values. User-interface thread only.

#include <memory>
#include <string>

#include "seams/SettingsStore.h"

class wxConfigBase;

namespace velmora {

// $XDG_CONFIG_HOME/Velmora/Velmora.conf, with ~/.config when XDG_CONFIG_HOME is unset or not an
// absolute path.
std::string DefaultSettingsFile();

class WxConfigSettingsStore : public SettingsStore {
 public:
  // `file` is used on Linux only; `key` is the key below the user's root, backslash-separated.
  explicit WxConfigSettingsStore(std::string file = DefaultSettingsFile(),
                                 std::string key = "SoftWare\\Dulvik\\Velmora");
  ~WxConfigSettingsStore() override;

  bool OpenKey() override;
  bool CreateKey() override;
  std::optional<std::vector<uint8_t>> ReadValue(const std::string& name) override;
  bool WriteValue(const std::string& name, const std::vector<uint8_t>& bytes) override;
  void CloseKey() override;

  const std::string& file() const { return file_; }

 private:
  std::string EntryPath(const std::string& name) const;

  std::string file_;
  std::string group_;  // "/SoftWare/Dulvik/Velmora"
  std::unique_ptr<wxConfigBase> config_;
};

// The framework's own profile (the recent-file list) in the same file, under
// "Software\<profile key name>\Velmora". Read it fresh when needed; flush before dropping it.
std::unique_ptr<wxConfigBase> OpenProfile(const std::string& file = DefaultSettingsFile());

}  // namespace velmora
