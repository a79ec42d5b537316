// The USB library on Linux: libusb hotplug notices handled on a thread of our
// own, and the rule for which devices are registers.
#pragma once

#include <libusb-1.0/libusb.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "LibusbContext.h"
#include "UsbBackend.h"

class LibusbBackend : public UsbBackend {
 public:
  struct VendorProduct {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
  };

  // Without a filter every device whose interface offers bulk OUT 0x03 and bulk
  // IN 0x81 is taken for a register.
  explicit LibusbBackend(std::optional<VendorProduct> only = std::nullopt);
  ~LibusbBackend() override;

  bool Start(Notices notices) override;
  void Stop() override;

  // The number of the interface whose setting offers both register pipes as
  // bulk endpoints (OUT 0x03, IN 0x81), or nullopt: the rule for what a register is.
  static std::optional<int> RegisterInterface(const libusb_config_descriptor& config);

 private:
  struct Pending {
    bool arrived;
    libusb_device* device;  // referenced while queued
  };

  static int LIBUSB_CALL OnHotplug(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                   void* self);
  void EventLoop();
  void TakePending();
  void Arrived(libusb_device* device);
  std::optional<int> RegisterInterface(libusb_device* device) const;
  void ReleasePending();

  const std::optional<VendorProduct> only_;
  std::shared_ptr<LibusbContext> context_;
  Notices notices_;
  libusb_hotplug_callback_handle callback_ = 0;
  bool registered_ = false;
  std::atomic<bool> running_{false};
  std::thread events_;

  std::mutex pendingMutex_;
  std::vector<Pending> pending_;

  // Touched only on the event thread (and by Stop after it ended).
  libusb_device* current_ = nullptr;
  const UsbDeviceLink* currentLink_ = nullptr;
};
