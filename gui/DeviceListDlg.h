#pragma once
// CDeviceListDlg: the modal device selection (template 173, "デバイス選択"). Shows what core's
// DeviceList gives: the playback and recording combos, and the formats of the device whose
// combo was touched last; its selections are read back after OK.

#include <wx/dialog.h>

#include <vector>

#include "dialogs/DeviceList.h"

class wxComboBox;
class wxListCtrl;

namespace velmora {

class CDeviceListDlg : public wxDialog {
 public:
  // `dialog` must outlive the window; it holds the selections as the user makes them.
  CDeviceListDlg(wxWindow* parent, DeviceList& dialog);

  wxComboBox* playbackCombo() const { return playback_; }
  wxComboBox* recordCombo() const { return record_; }
  wxListCtrl* formatList() const { return formats_; }

 private:
  wxComboBox* AddCombo(int id, DeviceRole role);
  void ShowRows(const std::vector<FormatRow>& rows);

  DeviceList& dialog_;
  wxComboBox* playback_ = nullptr;
  wxComboBox* record_ = nullptr;
  wxListCtrl* formats_ = nullptr;
};

}  // namespace velmora
