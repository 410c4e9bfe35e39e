#include "WxConfigSettingsStore.h"

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/utils.h>

#include <cstdlib>

#ifdef __WXMSW__
#include <wx/msw/regconf.h>
#else
#include <wx/fileconf.h>
#endif

namespace velmora {

namespace {

wxString FromUtf8(const std::string& text) {
  return wxString::FromUTF8(text.c_str());
}

// "SoftWare\Dulvik\Velmora" -> "/SoftWare/Dulvik/Velmora".
std::string GroupOf(std::string key) {
  for (char& c : key) {
    if (c == '\\') c = '/';
  }
  return "/" + key;
}

#ifdef __WXMSW__
// The registry: HKEY_CURRENT_USER\Software\<vendor>\<app> is the key itself.
std::unique_ptr<wxConfigBase> LoadConfig(const std::string&, const std::string& vendor,
                                         const std::string& app) {
  return std::make_unique<wxRegConfig>(FromUtf8(app), FromUtf8(vendor));
}
#else
std::unique_ptr<wxConfigBase> LoadConfig(const std::string& file, const std::string&,
                                         const std::string&) {
  // A damaged file must not pop up the library's own log boxes: what can be read is used.
  wxLogNull quiet;
  return std::make_unique<wxFileConfig>(wxEmptyString, wxEmptyString, FromUtf8(file), wxEmptyString,
                                        wxCONFIG_USE_LOCAL_FILE);
}
#endif

}  // namespace

std::string DefaultSettingsFile() {
  std::string base;
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') {
    base = xdg;
  } else {
    base = wxGetHomeDir().utf8_string() + "/.config";
  }
  return base + "/Velmora/Velmora.conf";
}

WxConfigSettingsStore::WxConfigSettingsStore(std::string file, std::string key)
    : file_(std::move(file)), group_(GroupOf(std::move(key))) {}

WxConfigSettingsStore::~WxConfigSettingsStore() = default;

bool WxConfigSettingsStore::OpenKey() {
#ifdef __WXMSW__
  config_ = LoadConfig(file_, "Dulvik", "Velmora");
  return true;
#else
  if (!wxFileName::FileExists(FromUtf8(file_))) return false;
  config_ = LoadConfig(file_, "", "");
  if (!config_->HasGroup(FromUtf8(group_))) {
    config_.reset();
    return false;
  }
  return true;
#endif
}

bool WxConfigSettingsStore::CreateKey() {
#ifndef __WXMSW__
  wxLogNull quiet;
  const wxFileName name(FromUtf8(file_));
  const wxString dir = name.GetPath();
  if (!wxFileName::DirExists(dir) && !wxFileName::Mkdir(dir, 0700, wxPATH_MKDIR_FULL)) {
    return false;
  }
  if (!wxFileName::IsDirWritable(dir)) return false;
  if (name.FileExists() && !name.IsFileWritable()) return false;
#endif
  config_ = LoadConfig(file_, "Dulvik", "Velmora");
  return true;
}

std::optional<std::vector<uint8_t>> WxConfigSettingsStore::ReadValue(const std::string& name) {
  if (!config_) return std::nullopt;
  wxLogNull quiet;
  wxMemoryBuffer buffer;
  if (!config_->Read(FromUtf8(EntryPath(name)), &buffer)) return std::nullopt;
  const auto* data = static_cast<const uint8_t*>(buffer.GetData());
  return std::vector<uint8_t>(data, data + buffer.GetDataLen());
}

bool WxConfigSettingsStore::WriteValue(const std::string& name, const std::vector<uint8_t>& bytes) {
  if (!config_) return false;
  wxLogNull quiet;
  wxMemoryBuffer buffer;
  buffer.AppendData(bytes.data(), bytes.size());
  return config_->Write(FromUtf8(EntryPath(name)), buffer) && config_->Flush();
}

void WxConfigSettingsStore::CloseKey() {
  config_.reset();
}

std::string WxConfigSettingsStore::EntryPath(const std::string& name) const {
#ifdef __WXMSW__
  return name;
#else
  return group_ + "/" + name;
#endif
}

std::unique_ptr<wxConfigBase> OpenProfile(const std::string& file) {
  std::unique_ptr<wxConfigBase> config = LoadConfig(file, kProfileKeyName, "Velmora");
#ifndef __WXMSW__
  config->SetPath(FromUtf8(std::string("/Software/") + kProfileKeyName + "/Velmora"));
#endif
  return config;
}

}  // namespace velmora
