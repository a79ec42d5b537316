// A register opened through libusb, with its interface claimed; closed when the
// last user lets go of it.
#pragma once

#include <libusb-1.0/libusb.h>

#include <memory>

#include "LibusbContext.h"
#include "UsbDeviceLink.h"

class LibusbDeviceLink : public UsbDeviceLink {
 public:
  LibusbDeviceLink(std::shared_ptr<LibusbContext> context, libusb_device_handle* handle, int interfaceNumber)
      : context_(std::move(context)), handle_(handle), interfaceNumber_(interfaceNumber) {}
  ~LibusbDeviceLink() override {
    libusb_release_interface(handle_, interfaceNumber_);
    libusb_close(handle_);
  }
  LibusbDeviceLink(const LibusbDeviceLink&) = delete;
  LibusbDeviceLink& operator=(const LibusbDeviceLink&) = delete;

  int BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred,
                   unsigned timeoutMs) override {
    transferred = 0;
    return libusb_bulk_transfer(handle_, endpoint, data, length, &transferred, timeoutMs);
  }
  int ClearHalt(std::uint8_t endpoint) override { return libusb_clear_halt(handle_, endpoint); }
  int ResetDevice() override { return libusb_reset_device(handle_); }

 private:
  std::shared_ptr<LibusbContext> context_;
  libusb_device_handle* handle_;
  int interfaceNumber_;
};
