// One opened and claimed register on the USB bus, as the USB transport uses it.
// Kept abstract so the transport's rules can be tested without hardware.
#pragma once

#include <cstdint>

class UsbDeviceLink {
 public:
  virtual ~UsbDeviceLink() = default;
  // A bulk transfer in libusb's terms: 0 or a negative error code; transferred
  // holds the bytes moved in either case.
  virtual int BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred,
                           unsigned timeoutMs) = 0;
  // Clears a stalled or failed pipe.
  virtual int ClearHalt(std::uint8_t endpoint) = 0;
  virtual int ResetDevice() = 0;
};
