// The serial port calls the connection test needs, handed in by whoever owns
// the port (the register link in the program, a script in the tests). Both
// give 0 for success and an error code otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct SerialPortFunctions {
  std::function<std::uint32_t(const std::string& port, std::uint32_t drainTimeoutMs, std::uint32_t baud)> open;
  std::function<std::uint32_t()> close;
};
