#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "workspace/settings/ConfigurationsLogic.h"
#include "tests/workspace/support/ScriptedOperator.h"

namespace {

struct SerialScript {
  std::vector<std::string> calls;
  std::uint32_t openStatus = 0;

  SerialPortFunctions Functions() {
    return {[this](const std::string& port, std::uint32_t drain, std::uint32_t baud) {
              calls.push_back("open " + port + " " + std::to_string(drain) + " " + std::to_string(baud));
              return openStatus;
            },
            [this] {
              calls.push_back("close");
              return std::uint32_t{0};
            }};
  }
};

TEST(ConfigurationsLogicTest, StartsWithNoPortAt9600) {
  ScriptedOperator op;
  SerialScript serial;
  ConfigurationsLogic logic(serial.Functions(), op);
  EXPECT_EQ(logic.PortText(), "NC");
  EXPECT_EQ(logic.BaudText(), "9600");
}

TEST(ConfigurationsLogicTest, PortEntriesAreSortedAsTheBoxSortsThem) {
  EXPECT_EQ(ConfigurationsLogic::PortEntries({}), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "NC"}));
  EXPECT_EQ(ConfigurationsLogic::PortEntries({"/dev/ttyUSB0", "/dev/ttyACM0", "COM2"}),
            (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB0", "COM1", "COM2", "COM3", "COM4", "NC"}));
}

TEST(ConfigurationsLogicTest, BaudEntriesKeepTheirOrder) {
  EXPECT_EQ(ConfigurationsLogic::BaudEntries(),
            (std::vector<std::string>{"1200", "2400", "4800", "9600", "14400", "19200", "28800", "33600", "38400",
                                      "57600", "115200"}));
}

TEST(ConfigurationsLogicTest, ShowingSelectsTheFirstEntryBeginningWithTheText) {
  const auto ports = ConfigurationsLogic::PortEntries({});
  EXPECT_EQ(ConfigurationsLogic::Show(ports, "NC").selected, 4);
  const auto lower = ConfigurationsLogic::Show(ports, "com3");
  EXPECT_EQ(lower.selected, 2);
  EXPECT_EQ(lower.editText, "COM3");
  EXPECT_EQ(ConfigurationsLogic::Show(ports, "CO").selected, 0);
  const auto bauds = ConfigurationsLogic::BaudEntries();
  EXPECT_EQ(ConfigurationsLogic::Show(bauds, "9600").selected, 3);
  EXPECT_EQ(ConfigurationsLogic::Show(bauds, "1").selected, 0);
  EXPECT_EQ(ConfigurationsLogic::Show(bauds, "1152").selected, 10);
}

TEST(ConfigurationsLogicTest, TextWithoutAMatchingEntryGoesIntoTheEditField) {
  const auto shown = ConfigurationsLogic::Show(ConfigurationsLogic::PortEntries({}), "COM7");
  EXPECT_EQ(shown.selected, -1);
  EXPECT_EQ(shown.editText, "COM7");
  EXPECT_EQ(ConfigurationsLogic::Show(ConfigurationsLogic::BaudEntries(), "250000").editText, "250000");
}

TEST(ConfigurationsLogicTest, NoPortClosesAndOpensNothing) {
  ScriptedOperator op;
  SerialScript serial;
  ConfigurationsLogic logic(serial.Functions(), op);
  logic.Ok("NC", "19200");
  EXPECT_EQ(serial.calls, (std::vector<std::string>{"close"}));
  EXPECT_TRUE(op.Asked().empty());
  EXPECT_EQ(logic.BaudText(), "19200");
}

TEST(ConfigurationsLogicTest, SuccessfulTestIsReportedWithTheWarningIcon) {
  ScriptedOperator op;
  SerialScript serial;
  ConfigurationsLogic logic(serial.Functions(), op);
  logic.Ok("COM7", "19200");
  EXPECT_EQ(serial.calls, (std::vector<std::string>{"close", "open COM7 300 19200"}));
  ASSERT_EQ(op.Asked().size(), 1u);
  EXPECT_EQ(op.Asked()[0].text, "Connection established successfully");
  EXPECT_EQ(op.Asked()[0].icon, MessageIcon::Warning);
  EXPECT_EQ(op.Asked()[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(logic.PortText(), "COM7");
}

TEST(ConfigurationsLogicTest, SmallLetterNcIsAPortNameThatIsTried) {
  ScriptedOperator op;
  SerialScript serial;
  serial.openStatus = 2;
  ConfigurationsLogic logic(serial.Functions(), op);
  logic.Ok("nc", "9600");
  EXPECT_EQ(serial.calls, (std::vector<std::string>{"close", "open nc 300 9600"}));
  EXPECT_EQ(op.AskedTexts(), (std::vector<std::string>{"!!! Connection failed !!!"}));
  EXPECT_EQ(logic.PortText(), "nc");
}

TEST(ConfigurationsLogicTest, EachTestClosesThePortOfTheLastOne) {
  ScriptedOperator op;
  SerialScript serial;
  ConfigurationsLogic logic(serial.Functions(), op);
  logic.Ok("/dev/ttyUSB0", "115200");
  logic.Ok("/dev/ttyUSB1", "x");
  EXPECT_EQ(serial.calls,
            (std::vector<std::string>{"close", "open /dev/ttyUSB0 300 115200", "close", "open /dev/ttyUSB1 300 0"}));
}

TEST(ConfigurationsLogicTest, BaudTextIsReadAsATruncatedDecimal) {
  EXPECT_EQ(ConfigurationsLogic::BaudRate("9600"), 9600u);
  EXPECT_EQ(ConfigurationsLogic::BaudRate("  57600 baud"), 57600u);
  EXPECT_EQ(ConfigurationsLogic::BaudRate("9600.9"), 9600u);
  EXPECT_EQ(ConfigurationsLogic::BaudRate("fast"), 0u);
  EXPECT_EQ(ConfigurationsLogic::BaudRate(""), 0u);
  EXPECT_EQ(ConfigurationsLogic::BaudRate("-300"), 0u);
}

}  // namespace
