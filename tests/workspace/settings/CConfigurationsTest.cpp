#include <gtest/gtest.h>

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QtTest/QTest>

#include "workspace/settings/CConfigurations.h"
#include "tests/workspace/support/ScriptedOperator.h"
#include "tests/workspace/support/WorkspaceTestConfig.h"

namespace {

class CConfigurationsTest : public ::testing::Test {
 protected:
  SerialPortFunctions Serial() {
    return {[this](const std::string& port, std::uint32_t, std::uint32_t baud) {
              opened.push_back(port + "@" + std::to_string(baud));
              return std::uint32_t{1};
            },
            [this] {
              ++closes;
              return std::uint32_t{0};
            }};
  }

  WorkspaceTestConfig config;
  ScriptedOperator op;
  std::vector<std::string> opened;
  int closes = 0;
  CConfigurations dialog{Serial(), op, {"/dev/ttyUSB0"}};
};

TEST_F(CConfigurationsTest, ShowsTheStartingValuesAndTheMachinePorts) {
  dialog.Prepare();
  EXPECT_EQ(dialog.windowTitle(), "Configurations");
  EXPECT_EQ(dialog.findChild<QGroupBox*>("groupPort")->title(), "Barcode");
  QComboBox* port = dialog.PortBox();
  ASSERT_EQ(port->count(), 6);
  EXPECT_EQ(port->itemText(0), "/dev/ttyUSB0");
  EXPECT_EQ(port->itemText(5), "NC");
  EXPECT_EQ(port->currentText(), "NC");
  EXPECT_EQ(dialog.BaudBox()->currentText(), "9600");
  EXPECT_TRUE(port->isEditable());
}

TEST_F(CConfigurationsTest, TypedPortIsTestedAndShownNextTime) {
  dialog.Prepare();
  dialog.show();
  dialog.PortBox()->setEditText("COM7");
  dialog.BaudBox()->setEditText("38400");
  QTest::mouseClick(dialog.findChild<QPushButton*>("buttonOk"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(opened, (std::vector<std::string>{"COM7@38400"}));
  EXPECT_EQ(op.AskedTexts(), (std::vector<std::string>{"!!! Connection failed !!!"}));

  dialog.Prepare();
  EXPECT_EQ(dialog.PortBox()->currentIndex(), -1);
  EXPECT_EQ(dialog.PortBox()->currentText(), "COM7");
  EXPECT_EQ(dialog.BaudBox()->currentText(), "38400");
}

TEST_F(CConfigurationsTest, CancelKeepsTheConfirmedValues) {
  dialog.Prepare();
  dialog.show();
  dialog.PortBox()->setEditText("COM3");
  QTest::mouseClick(dialog.findChild<QPushButton*>("buttonCancel"), Qt::LeftButton);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_EQ(dialog.Logic().PortText(), "NC");
  EXPECT_EQ(closes, 0);
  dialog.Prepare();
  EXPECT_EQ(dialog.PortBox()->currentText(), "NC");
}

}  // namespace
