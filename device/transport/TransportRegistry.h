// The transports a register can be reached through, one entry per form of
// address that --register takes. Each transport's file defines its entries;
// adding a transport is its file and one line in the list of TransportRegistry.cpp.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "device/DeviceTiming.h"
#include "device/transport/iCOMDriver.h"

// One register address as --register named it, checked and ready to connect.
class TransportAddress {
 public:
  virtual ~TransportAddress() = default;
  // The entry's name: "usb", "serial", "demo".
  virtual std::string_view Scheme() const = 0;
  // The address as --register takes it ("serial:/dev/ttyUSB0"); parsing it gives this address again.
  virtual std::string Text() const = 0;
  // For messages: "the register on /dev/ttyUSB0 at 115200 baud".
  virtual std::string Describe() const = 0;
  virtual std::unique_ptr<iCOMDriver> MakeTransport(const DeviceTiming& timing) const = 0;
};

struct TransportScheme {
  const char* name;    // "usb"
  const char* form;    // how the help shows it: "usb:VENDOR:PRODUCT"
  bool takesArgument;  // the address is NAME:ARGUMENT rather than the bare name
  // Reads a whole address text that Matches; null with the reason in error when it is malformed.
  std::shared_ptr<const TransportAddress> (*parse)(std::string_view text, std::string* error);

  bool Matches(std::string_view text) const;
};

namespace transports {

// Every entry, in the order the help lists them.
std::span<const TransportScheme* const> Schemes();
// The forms joined by "|", as the help and the error messages show them.
std::string Forms();
// The address text read by the entry it matches; null with the reason in error
// when none matches or the matching one refuses it.
std::shared_ptr<const TransportAddress> Parse(std::string_view text, std::string* error);
// The address used when none is named: the first USB register that appears.
std::shared_ptr<const TransportAddress> Default();

}  // namespace transports
