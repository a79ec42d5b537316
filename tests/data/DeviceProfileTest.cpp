#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "data/DeviceProfile.h"

namespace {

// A parameter reply whose position p (from 1) holds values[p] or p*100.
std::string Reply(int positions, std::map<int, int> values) {
  std::string text;
  for (int p = 1; p <= positions; ++p) {
    if (p > 1) text += ',';
    text += std::to_string(values.count(p) ? values[p] : p * 100);
  }
  return text;
}

DeviceProfile Selected() {
  DeviceProfile profile;
  profile.SetForDeviceType();
  return profile;
}

}  // namespace

TEST(DeviceProfile, DeviceTypeValues) {
  DeviceProfile profile;
  profile.pluLinkEnabled = 1;
  profile.SetForDeviceType();
  EXPECT_EQ(profile.departmentCount, 8u);
  EXPECT_EQ(profile.commodityGroupCount, 20u);
  EXPECT_EQ(profile.taxGroupCount, 8u);
  EXPECT_EQ(profile.measureUnitCount, 10u);
  EXPECT_EQ(profile.standCount, 0u);
  EXPECT_EQ(profile.barcodeEnabled, 1u);
  EXPECT_EQ(profile.stockQtyEnabled, 1u);
  EXPECT_EQ(profile.secondPriceInReports, 0u);
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.pluLinkEnabled, 1u);  // left alone
}

TEST(DeviceProfile, ParameterReplyFillsItsPositions) {
  DeviceProfile profile = Selected();
  profile.ApplyParameterReply(true,
                              Reply(28, {{4, 6}, {16, 50}, {18, 0}, {19, 0}, {20, 5}, {23, 3}, {27, 1}, {28, 1}}));
  EXPECT_EQ(profile.taxGroupCount, 6u);
  EXPECT_EQ(profile.departmentCount, 50u);
  EXPECT_EQ(profile.stockQtyEnabled, 0u);
  EXPECT_EQ(profile.barcodeEnabled, 0u);
  EXPECT_EQ(profile.commodityGroupCount, 5u);
  EXPECT_EQ(profile.measureUnitCount, 3u);
  EXPECT_EQ(profile.initialQtyEnabled, 1u);
  EXPECT_EQ(profile.pluLinkEnabled, 1u);
}

TEST(DeviceProfile, FailedReplyClearsOnlyTheInitialQuantity) {
  DeviceProfile profile = Selected();
  profile.initialQtyEnabled = 1;
  profile.pluLinkEnabled = 1;
  profile.ApplyParameterReply(false, Reply(28, {}));
  DeviceProfile expected = Selected();
  expected.pluLinkEnabled = 1;
  EXPECT_EQ(std::memcmp(&profile, &expected, sizeof profile), 0);
}

TEST(DeviceProfile, ShortRepliesLeaveTheLaterSwitchesCleared) {
  DeviceProfile profile = Selected();
  profile.pluLinkEnabled = 1;
  profile.ApplyParameterReply(true, Reply(27, {{27, 1}, {16, 8}, {4, 8}, {20, 20}, {23, 10}}));
  EXPECT_EQ(profile.initialQtyEnabled, 1u);
  EXPECT_EQ(profile.pluLinkEnabled, 0u);

  profile.ApplyParameterReply(true, Reply(20, {{4, 8}, {16, 8}, {20, 20}}));
  EXPECT_EQ(profile.initialQtyEnabled, 0u);
  EXPECT_EQ(profile.pluLinkEnabled, 0u);
  EXPECT_EQ(profile.measureUnitCount, 10u);  // position 23 missing: unchanged
}

TEST(DeviceProfile, RunsOfCommasCountAsOneAndCountsAreClamped) {
  DeviceProfile profile = Selected();
  // The empty field between ",," does not exist, so "7" is position 4.
  profile.ApplyParameterReply(true, "1,2,,3,7");
  EXPECT_EQ(profile.taxGroupCount, 7u);

  profile.ApplyParameterReply(true, Reply(28, {{4, 99}, {16, 5000}, {20, 64}, {23, -3}}));
  EXPECT_EQ(profile.taxGroupCount, 20u);
  EXPECT_EQ(profile.departmentCount, 200u);
  EXPECT_EQ(profile.commodityGroupCount, 20u);
  EXPECT_EQ(profile.measureUnitCount, 0u);

  profile.standCount = 50;
  profile.Clamp();
  EXPECT_EQ(profile.standCount, 10u);

  // Fields that hold no number read as 0.
  profile.ApplyParameterReply(true, "garbage\x01\xff,,,1,2,x,,,");
  EXPECT_EQ(profile.taxGroupCount, 0u);
}
