// The USB library on Linux: libusb hotplug notices handled on a thread of our
// own, and the rule for which devices are registers.
#pragma once

#include <libusb-1.0/libusb.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "device/transport/ClaimRetries.h"
#include "device/transport/LibusbContext.h"
#include "device/transport/UsbBackend.h"

class LibusbBackend : public UsbBackend {
 public:
  struct VendorProduct {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
  };

  // What a register's interface offers the transport.
  struct RegisterEndpoints {
    int interfaceNumber = 0;
    int altSetting = 0;
    std::uint8_t outType = 0;  // LIBUSB_TRANSFER_TYPE_BULK or _INTERRUPT
    std::uint8_t inType = 0;
    std::uint32_t inPacketSize = 0;  // bytes per transaction of IN 0x81
  };
  // Whether a device that has the register's endpoints is taken.
  enum class Admission { Take, TakeDetachingDriver, Leave };

  // Without a filter every device whose interface offers OUT 0x03 and IN 0x81
  // is taken for a register, unless a kernel driver serves it; a device named
  // by its ids is taken from its driver if need be.
  // A claim refused as busy is tried again for claimRetryFor: the handle that
  // holds it may be on its way out.
  explicit LibusbBackend(std::optional<VendorProduct> only = std::nullopt,
                         std::chrono::milliseconds claimRetryFor = std::chrono::milliseconds(3000));
  ~LibusbBackend() override;

  bool Start(Notices notices) override;
  void Stop() override;

  // The interface setting that offers both register pipes (OUT 0x03, IN 0x81)
  // as bulk or interrupt endpoints, or nullopt: the rule for what a register is.
  static std::optional<RegisterEndpoints> RegisterInterface(const libusb_config_descriptor& config);

  // A device found by the endpoint rule alone is never taken from a kernel
  // driver: that could be a disk or a serial adapter in use. Only a device the
  // operator named is detached from its driver.
  static Admission Admit(bool namedByIds, bool kernelDriverBound);

 private:
  struct Pending {
    bool arrived;
    libusb_device* device;  // referenced while queued
  };
  using Arrival = ClaimRetries<libusb_device*>::Claim;

  static int LIBUSB_CALL OnHotplug(libusb_context* context, libusb_device* device, libusb_hotplug_event event,
                                   void* self);
  void EventLoop();
  void TakePending();
  Arrival Arrived(libusb_device* device);
  void RetryClaims();
  std::optional<RegisterEndpoints> RegisterInterface(libusb_device* device) const;
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
  ClaimRetries<libusb_device*> retries_;  // each device referenced while listed
};
