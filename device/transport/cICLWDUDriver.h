// The USB transport: carries frames to the register's OUT pipe 0x03 in 32-byte
// transfers and reads replies from IN pipe 0x81, with tries and resets.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/DeviceTiming.h"
#include "device/RegisterTrace.h"
#include "device/transport/TransferStatus.h"
#include "device/transport/TransportRegistry.h"
#include "device/transport/UsbBackend.h"
#include "device/transport/iCOMDriver.h"

class cICLWDUDriver : public iCOMDriver {
 public:
  static constexpr std::uint8_t kOutEndpoint = 0x03;
  static constexpr std::uint8_t kInEndpoint = 0x81;
  static constexpr std::uint32_t kMaxChunk = 32;
  static constexpr int kTries = 3;
  // Own status codes beside libusb's errors (which are reported negated).
  static constexpr std::uint32_t kStatusZeroLengthWrite = 0x1000;
  static constexpr std::uint32_t kStatusDeviceGone = 0x1001;
  // Reads ask the device for whole packets of its IN endpoint: a register that
  // sends more than a small capacity asked for would otherwise overflow the
  // transfer and lose the packet. What does not fit is handed out by the next
  // Read. This size stands in when the device names none.
  static constexpr std::uint32_t kDefaultPacketSize = 64;
  // --register usb: the first register that appears; usb:VENDOR:PRODUCT: only that device.
  static const TransportScheme kAnyScheme;
  static const TransportScheme kDeviceScheme;

  // Starts the library at once, so that IsConnected is meaningful from the start.
  explicit cICLWDUDriver(std::unique_ptr<UsbBackend> backend, const DeviceTiming& timing = {});
  ~cICLWDUDriver() override;

  bool Open(std::uint32_t portIndex) override;
  void Close() override;
  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override;
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override;
  std::uint32_t GetLastStatus() override;
  void Reset() override;
  bool IsConnected() override;
  void SetTrace(RegisterTrace* trace) override { trace_ = trace; }

  // What the programs can show about the link: why no register is usable, or empty.
  std::string Diagnostic() const override;

 private:
  void StartLibrary();
  std::shared_ptr<UsbDeviceLink> CurrentDevice() const;
  void DropLeftover();
  // Lets go of a handle that a failed reset left useless: ends the transfer in
  // progress on it and waits until nobody holds it, so that it is closed and the
  // register's interface is free for the next handle.
  void LetGo(std::shared_ptr<UsbDeviceLink> device);
  void Trace(RegisterTrace::Event event, const std::string& note) const {
    if (RegisterTrace* trace = trace_.load()) trace->Record(event, {}, note);
  }

  const DeviceTiming timing_;
  std::unique_ptr<UsbBackend> backend_;
  std::atomic<bool> attached_{false};
  TransferStatus status_;
  // A transfer holds its own reference, so a detach or reset that drops the
  // device never closes it under a transfer; the next try sees it is gone.
  mutable std::mutex deviceMutex_;
  std::shared_ptr<UsbDeviceLink> device_;
  std::string diagnostic_;
  bool libraryStarted_ = false;
  // Bytes read from the device beyond what the last Read could take; dropped
  // with the device.
  std::mutex leftoverMutex_;
  std::vector<std::uint8_t> leftover_;
  std::atomic<RegisterTrace*> trace_{nullptr};
};
