// One opened and claimed register on the USB bus, as the USB transport uses it.
// Kept abstract so the transport's rules can be tested without hardware.
#pragma once

#include <cstdint>
#include <string>

class UsbDeviceLink {
 public:
  virtual ~UsbDeviceLink() = default;
  // One transfer with a time-out, bulk or interrupt as the register's endpoint
  // is, in libusb's terms: 0 or a negative error code; transferred holds the
  // bytes moved in either case.
  virtual int Transfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred, unsigned timeoutMs) = 0;
  // Clears a stalled or failed pipe.
  virtual int ClearHalt(std::uint8_t endpoint) = 0;
  // 0 when the device was reset in place and this handle works on; otherwise
  // the handle is of no further use.
  virtual int ResetDevice() = 0;
  // The handle is about to be let go: a transfer in progress ends now, and
  // every later one fails at once (LIBUSB_ERROR_INTERRUPTED).
  virtual void Interrupt() = 0;
  // The largest packet the IN endpoint sends (its wMaxPacketSize): reads ask
  // for whole packets, or a packet larger than the room asked for overflows.
  virtual std::uint32_t InPacketSize() const = 0;
  // Where the register sits and how it is reached, for the trace.
  virtual std::string Describe() const = 0;
};
