#include "workspace/start/DeviceTypeLogic.h"

#include "data/DeviceProfile.h"
#include "workspace/common/UiText.h"

DeviceTypeLogic::DeviceTypeLogic(DeviceProfile& profile) : profile_(profile) { profile_.SetForDeviceType(); }

std::vector<std::string> DeviceTypeLogic::DeviceEntries() const { return {UiText("DV_1")}; }

void DeviceTypeLogic::Select(int position) {
  selected_ = position;
  // Every entry is the same register type today.
  profile_.SetForDeviceType();
}
