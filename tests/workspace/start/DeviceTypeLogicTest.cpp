#include <gtest/gtest.h>

#include "data/DeviceProfile.h"
#include "workspace/start/DeviceTypeLogic.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

TEST(DeviceTypeLogicTest, ConstructionSetsTheRegisterProfile) {
  DeviceProfile profile;
  profile.pluLinkEnabled = 1;
  DeviceTypeLogic logic(profile);
  EXPECT_EQ(profile.departmentCount, 8u);
  EXPECT_EQ(profile.commodityGroupCount, 20u);
  EXPECT_EQ(profile.taxGroupCount, 8u);
  EXPECT_EQ(profile.measureUnitCount, 10u);
  EXPECT_EQ(profile.standCount, 0u);
  EXPECT_EQ(profile.barcodeEnabled, 1u);
  EXPECT_EQ(profile.stockQtyEnabled, 1u);
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.secondPriceInReports, 0u);
  EXPECT_EQ(profile.pluLinkEnabled, 1u);  // not the selection's to change
  EXPECT_EQ(logic.SelectedDevice(), 0);
}

TEST(DeviceTypeLogicTest, SelectingSetsTheProfileAgain) {
  DeviceProfile profile;
  DeviceTypeLogic logic(profile);
  profile.departmentCount = 200;
  profile.initialQtyEnabled = 1;
  logic.Select(0);
  EXPECT_EQ(profile.departmentCount, 8u);
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.pluLinkEnabled, 0u);
}

TEST(DeviceTypeLogicTest, TheOneDeviceIsNamedByTheConfiguration) {
  WorkspaceTestConfig config;
  DeviceProfile profile;
  DeviceTypeLogic logic(profile);
  EXPECT_EQ(logic.DeviceEntries(), (std::vector<std::string>{"Quillbay register"}));
}

}  // namespace
