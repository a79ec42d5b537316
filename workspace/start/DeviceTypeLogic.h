// The start window's device selection without its window: the list of
// register types (one, named by DV_1) and the profile it sets. Building it
// sets the profile too, so the workspace never sees an empty one.
#pragma once

#include <string>
#include <vector>

struct DeviceProfile;

class DeviceTypeLogic {
 public:
  explicit DeviceTypeLogic(DeviceProfile& profile);

  std::vector<std::string> DeviceEntries() const;
  int SelectedDevice() const { return selected_; }

  // A register type was chosen in the list: its profile values take effect.
  void Select(int position);

  // Qt resource path of the picture of the selected register.
  static constexpr const char* kRegisterPicture = ":/images/register.png";

 private:
  DeviceProfile& profile_;
  int selected_ = 0;
};
