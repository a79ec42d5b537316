#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "ArticlesVersion.h"
#include "workspace/start/CDeviceType.h"
#include "data/DeviceProfile.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

TEST(CDeviceTypeTest, StartWindowShowsThePictureAndRunsTheButtons) {
  WorkspaceTestConfig config;
  DeviceProfile profile;
  int goods = 0;
  int settings = 0;
  CDeviceType window(profile, {[&] { ++goods; },
                               {},
                               [&] {
                                 ++settings;
                                 profile.departmentCount = 1;  // whatever the settings did
                               }});
  EXPECT_EQ(profile.departmentCount, 8u);  // set already by construction

  window.Prepare();
  window.show();
  EXPECT_EQ(window.windowTitle(), "Quillbay");
  EXPECT_EQ(window.GoodsButton()->text(), "Goods");
  EXPECT_EQ(window.ConfigurationButton()->text(), "Configuration");
  EXPECT_EQ(window.ExitButton()->text(), "Exit");
  EXPECT_FALSE(window.ReportsButton()->isEnabled());
  EXPECT_EQ(window.findChild<QLabel*>("labelVersion")->text(), "Ver " ARTICLES_VERSION);
  EXPECT_FALSE(window.findChild<QLabel*>("labelDevice")->isVisible());
  auto* device = window.findChild<QComboBox*>("comboDevice");
  EXPECT_FALSE(device->isVisible());
  ASSERT_EQ(device->count(), 1);
  EXPECT_EQ(device->itemText(0), "Quillbay register");
  const QPixmap picture = window.Picture()->pixmap();
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(200, 200));
  EXPECT_NE(window.Picture()->frameShape(), QFrame::NoFrame);

  QTest::mouseClick(window.GoodsButton(), Qt::LeftButton);
  QTest::mouseClick(window.GoodsButton(), Qt::LeftButton);
  EXPECT_EQ(goods, 2);
  QTest::mouseClick(window.ConfigurationButton(), Qt::LeftButton);
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(device->currentIndex(), 0);
  QTest::mouseClick(window.ExitButton(), Qt::LeftButton);
  EXPECT_EQ(window.result(), QDialog::Rejected);
  EXPECT_FALSE(window.isVisible());
}

TEST(CDeviceTypeTest, ExitEndsTheModalLoop) {
  WorkspaceTestConfig config;
  DeviceProfile profile;
  CDeviceType window(profile, {});
  QTimer::singleShot(0, &window, [&] { window.ExitButton()->click(); });
  EXPECT_EQ(window.DoModal(), QDialog::Rejected);
  EXPECT_EQ(profile.taxGroupCount, 8u);
}

}  // namespace
