// The serial ports this machine really has, as device paths (/dev/ttyS0,
// /dev/ttyUSB0, /dev/ttyACM0, ...). Built-in UART slots that the kernel knows
// but no chip answers are left out.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class SerialPortList {
 public:
  static std::vector<std::string> Find(const std::filesystem::path& sysClassTty = "/sys/class/tty",
                                       const std::filesystem::path& devDirectory = "/dev");
};
