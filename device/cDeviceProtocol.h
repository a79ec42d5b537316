// The register's request/reply protocol: frames a command with its text, sends it
// through the transport, assembles the reply on a receiver thread and retries.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "DeviceEvent.h"
#include "DeviceTiming.h"
#include "EventHub.h"
#include "iCOMDriver.h"

class cDeviceProtocol {
 public:
  static constexpr std::size_t kBufferSize = 256;
  static constexpr std::size_t kReplyAreaSize = kBufferSize + 6;
  using ReplyArea = std::array<std::uint8_t, kReplyAreaSize>;

  // Exchange results besides 0.
  static constexpr std::uint32_t kNoReply = 0xFFFFFFFF;        // no register, silence, wait failed
  static constexpr std::uint32_t kRefusedRepeatedly = 2;       // credits spent on NAKs or bad frames
  static constexpr std::uint32_t kRequestTooLong = 0xFFFFFFFE; // nothing was sent
  static constexpr int kCredits = 30;
  static constexpr int kSilenceCost = 10;
  static constexpr std::uint32_t kEmptyReadsBeforeFailure = 20;

  explicit cDeviceProtocol(const DeviceTiming& timing = {});
  ~cDeviceProtocol();
  cDeviceProtocol(const cDeviceProtocol&) = delete;
  cDeviceProtocol& operator=(const cDeviceProtocol&) = delete;

  // Binds the engine to the transport (not owned), opens it and starts the
  // receiver; the result is Open's. False without a transport.
  bool Start(iCOMDriver* transport);
  // Ends the receiver thread; waits for at most one transport Read.
  void Stop();

  // One request and its reply; 0 on success, the reply area then holds the reply
  // text (256 bytes, zero-filled) and the six status bytes.
  std::uint32_t Exchange(std::uint16_t command, std::string_view requestText, ReplyArea& reply);
  // Builds and writes one frame with the next sequence byte; 0 on success.
  std::uint32_t SendFrame(std::uint16_t command, std::string_view requestText, ReplyArea& reply);

  // The call the rest of the product uses: 0 when the register answered and did
  // not refuse; 1 otherwise. A refusal (status bit 5) still delivers the text.
  int DeviceTransaction(std::uint16_t command, std::string_view requestText, std::string& replyText);

  // The receiver loop.
  static void ReceiverThread(cDeviceProtocol& engine);

  std::uint8_t SequenceNumber() const { return sequenceNumber_.load(); }

 private:
  // Walks a complete frame in the receive buffer; answers whether the check
  // characters matched and whether the frame carried the current sequence byte.
  void TakeFrame(std::size_t fill, bool& checkMatched, bool& sequenceMatched);
  void Pause(std::uint32_t milliseconds) const;

  const DeviceTiming timing_;
  iCOMDriver* transport_ = nullptr;

  std::array<std::uint8_t, kBufferSize> transmit_{};
  std::uint32_t transmitLength_ = 0;

  // The receiver fills the reply area while the caller's thread clears and copies
  // it; the lock keeps a late frame from racing a new request.
  std::mutex replyMutex_;
  ReplyArea replyArea_{};

  std::array<std::uint8_t, kBufferSize> receive_{};

  std::atomic<std::uint8_t> sequenceNumber_{0x20};
  std::atomic<bool> running_{false};
  std::atomic<bool> stopped_{true};
  std::thread receiver_;

  EventHub hub_;
  DeviceEvent replyReady_{hub_, true, false};
  DeviceEvent deviceWait_{hub_, true, false};
  DeviceEvent exchangeLock_{hub_, false, true};
  DeviceEvent receiveEnable_{hub_, true, false};
  DeviceEvent replyFailed_{hub_, true, false};
};
