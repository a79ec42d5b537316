#include <gtest/gtest.h>

#include <fstream>

#include "workspace/settings/SerialPortList.h"
#include "tests/data/TempDir.h"

namespace {

namespace fs = std::filesystem;

void AddTty(const TempDir& dir, const std::string& name, bool withDevice, const char* uartType, bool withNode) {
  const fs::path entry = dir.Path() / "sys" / name;
  fs::create_directories(entry);
  if (withDevice) fs::create_directories(entry / "device");
  if (uartType != nullptr) std::ofstream(entry / "type") << uartType << "\n";
  if (withNode) std::ofstream(dir.Path() / "dev" / name) << "";
}

TEST(SerialPortListTest, OnlyPortsWithHardwareAndADeviceNodeAreListed) {
  TempDir dir;
  fs::create_directories(dir.Path() / "dev");
  AddTty(dir, "ttyS0", true, "4", true);  // a real UART
  AddTty(dir, "ttyS1", true, "0", true);  // a slot without a chip
  AddTty(dir, "ttyUSB0", true, nullptr, true);
  AddTty(dir, "ttyACM0", true, nullptr, false);  // no device node
  AddTty(dir, "ttyUSB1", false, nullptr, true);  // no hardware behind it
  AddTty(dir, "tty0", true, nullptr, true);      // a console, not a serial port
  AddTty(dir, "ttyACM3", true, nullptr, true);
  const auto ports = SerialPortList::Find(dir.Path() / "sys", dir.Path() / "dev");
  const std::string dev = (dir.Path() / "dev").string();
  EXPECT_EQ(ports, (std::vector<std::string>{dev + "/ttyACM3", dev + "/ttyS0", dev + "/ttyUSB0"}));
}

TEST(SerialPortListTest, MissingFolderGivesNoPorts) {
  TempDir dir;
  EXPECT_TRUE(SerialPortList::Find(dir.Path() / "none", dir.Path()).empty());
}

}  // namespace
