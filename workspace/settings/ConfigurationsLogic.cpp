#include "workspace/settings/ConfigurationsLogic.h"

#include <algorithm>
#include <cctype>

#include "data/CFormat.h"
#include "workspace/common/FieldExchange.h"
#include "workspace/common/Operator.h"

namespace {

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

}  // namespace

ConfigurationsLogic::ConfigurationsLogic(SerialPortFunctions serial, Operator& op)
    : serial_(std::move(serial)), operator_(op) {}

std::vector<std::string> ConfigurationsLogic::PortEntries(const std::vector<std::string>& machinePorts) {
  std::vector<std::string> entries{kNoPort, "COM1", "COM2", "COM3", "COM4"};
  for (const auto& port : machinePorts) {
    if (std::find(entries.begin(), entries.end(), port) == entries.end()) entries.push_back(port);
  }
  std::stable_sort(entries.begin(), entries.end(), LessIgnoringCase);
  return entries;
}

const std::vector<std::string>& ConfigurationsLogic::BaudEntries() {
  static const std::vector<std::string> entries{"1200",  "2400",  "4800",  "9600",  "14400", "19200",
                                                "28800", "33600", "38400", "57600", "115200"};
  return entries;
}

ComboShowing ConfigurationsLogic::Show(const std::vector<std::string>& entries, const std::string& text) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (FieldExchange::StartsWithIgnoringCase(entries[i], text)) return {static_cast<int>(i), entries[i]};
  }
  return {-1, text};
}

std::uint32_t ConfigurationsLogic::BaudRate(std::string_view text) {
  const std::int64_t value = TruncateToInt64(LeadingDoubleOrZero(text));
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(value, 0, UINT32_MAX));
}

void ConfigurationsLogic::Ok(const std::string& portBoxText, const std::string& baudBoxText) {
  portText_ = portBoxText;
  baudText_ = baudBoxText;
  if (serial_.close) serial_.close();
  // Only the exact upper-case "NC" means no port; "nc" is tried as a name.
  if (portText_ == kNoPort) return;
  const std::uint32_t status = serial_.open ? serial_.open(portText_, kDrainTimeoutMs, BaudRate(baudText_)) : 1;
  operator_.Tell(status == 0 ? kMsgConnected : kMsgFailed, MessageIcon::Warning);
}
