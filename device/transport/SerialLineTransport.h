// A register on a serial line (an RS-232 port or a USB serial device such as
// /dev/ttyACM0): the same frames as over USB, carried raw over a tty.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "device/DeviceTiming.h"
#include "device/transport/FileDescriptor.h"
#include "device/RegisterTrace.h"
#include "device/transport/TransferStatus.h"
#include "device/transport/TransportRegistry.h"
#include "device/transport/iCOMDriver.h"

class SerialLineTransport : public iCOMDriver {
 public:
  static constexpr std::uint32_t kStatusNotOpen = 0x2000;
  static constexpr std::uint32_t kStatusWriteTimeout = 0x2001;
  static constexpr std::uint32_t kStatusLineLost = 0x2002;
  // How often IsConnected looks whether the line went or came back.
  static constexpr std::chrono::milliseconds kLineCheckInterval{500};
  static constexpr std::uint32_t kDefaultBaud = 115200;
  // --register serial:DEVICE[@BAUD]
  static const TransportScheme kScheme;

  explicit SerialLineTransport(std::string devicePath, std::uint32_t baud = kDefaultBaud,
                               const DeviceTiming& timing = {});
  ~SerialLineTransport() override;

  bool Open(std::uint32_t portIndex) override;
  void Close() override;
  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override;
  // Waits at most lineReadTimeoutMs for bytes.
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override;
  std::uint32_t GetLastStatus() override;
  // Discards what the line holds in both directions; opens it when it is not open.
  void Reset() override;
  // Also notices a device node that went away or came back (checked at most
  // every kLineCheckInterval, without blocking).
  bool IsConnected() override;
  void SetTrace(RegisterTrace* trace) override { trace_ = trace; }

  std::string Diagnostic() const override;

 private:
  bool OpenLine();
  void DropLine(const std::shared_ptr<FileDescriptor>& line);
  std::shared_ptr<FileDescriptor> CurrentLine() const;

  const std::string path_;
  const std::uint32_t baud_;
  const DeviceTiming timing_;
  TransferStatus status_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> wanted_{false};  // between Open and Close
  // Reads and writes hold the line they use, so a Reset or a lost line never
  // closes a descriptor under them.
  mutable std::mutex lineMutex_;
  std::shared_ptr<FileDescriptor> line_;
  std::string diagnostic_;
  std::mutex checkMutex_;
  std::chrono::steady_clock::time_point lastCheck_{};
  std::atomic<RegisterTrace*> trace_{nullptr};
};
