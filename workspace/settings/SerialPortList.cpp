#include "workspace/settings/SerialPortList.h"

#include <algorithm>
#include <fstream>

namespace {

bool HasPrefix(const std::string& name, const char* prefix) { return name.rfind(prefix, 0) == 0; }

// The kernel lists every possible 8250 slot; a slot without a chip has UART type 0.
bool UartPresent(const std::filesystem::path& ttyEntry) {
  std::ifstream type(ttyEntry / "type");
  int value = 0;
  return static_cast<bool>(type >> value) && value != 0;
}

}  // namespace

std::vector<std::string> SerialPortList::Find(const std::filesystem::path& sysClassTty,
                                              const std::filesystem::path& devDirectory) {
  std::vector<std::string> ports;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(sysClassTty, ec)) {
    const std::string name = entry.path().filename().string();
    const bool usb = HasPrefix(name, "ttyUSB") || HasPrefix(name, "ttyACM");
    const bool builtIn = HasPrefix(name, "ttyS") || HasPrefix(name, "ttyAMA");
    if (!usb && !builtIn) continue;
    std::error_code statError;
    if (!std::filesystem::exists(entry.path() / "device", statError)) continue;
    if (HasPrefix(name, "ttyS") && !UartPresent(entry.path())) continue;
    const auto device = devDirectory / name;
    if (!std::filesystem::exists(device, statError)) continue;
    ports.push_back(device.string());
  }
  std::sort(ports.begin(), ports.end());
  return ports;
}
