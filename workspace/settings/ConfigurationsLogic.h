// The communication settings without their window: the port and baud texts
// kept for the whole run (starting as "NC" and "9600"), how the two combo
// boxes show them, and OK's connection test on the serial port.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "workspace/settings/ComboShowing.h"
#include "workspace/settings/SerialPortFunctions.h"

class Operator;

class ConfigurationsLogic {
 public:
  static constexpr const char* kNoPort = "NC";
  static constexpr std::uint32_t kDrainTimeoutMs = 300;
  static constexpr const char* kMsgConnected = "Connection established successfully";
  static constexpr const char* kMsgFailed = "!!! Connection failed !!!";

  ConfigurationsLogic(SerialPortFunctions serial, Operator& op);

  const std::string& PortText() const { return portText_; }
  const std::string& BaudText() const { return baudText_; }

  // "NC", COM1 to COM4 and the machine's own ports, sorted as the box sorts.
  static std::vector<std::string> PortEntries(const std::vector<std::string>& machinePorts);
  static const std::vector<std::string>& BaudEntries();

  // The first entry beginning with the text, letter case ignored; else the text.
  static ComboShowing Show(const std::vector<std::string>& entries, const std::string& text);

  // Takes the two box texts and tests the connection. The window closes with
  // OK afterwards whatever the outcome.
  void Ok(const std::string& portBoxText, const std::string& baudBoxText);

  // The baud rate handed to the open: the text's leading decimal number,
  // truncated toward zero; 0 when the text holds none.
  static std::uint32_t BaudRate(std::string_view text);

 private:
  SerialPortFunctions serial_;
  Operator& operator_;
  std::string portText_ = kNoPort;
  std::string baudText_ = "9600";
};
