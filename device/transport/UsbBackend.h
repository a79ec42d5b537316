// The USB library as the USB transport needs it: attach and detach notices for
// registers, from a thread of the library's side, until Stop.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "device/transport/UsbDeviceLink.h"

class UsbBackend {
 public:
  struct Notices {
    std::function<void(std::shared_ptr<UsbDeviceLink>)> attached;
    std::function<void(const UsbDeviceLink*)> detached;
    // A register is there but cannot be used (no access, interface busy ...).
    std::function<void(const std::string&)> problem;
  };

  virtual ~UsbBackend() = default;
  // Registers for notices; registers already present are announced too. False
  // when the library cannot be used (the reason goes to problem).
  virtual bool Start(Notices notices) = 0;
  // Ends the registration; no notice arrives after it returns.
  virtual void Stop() = 0;
};
