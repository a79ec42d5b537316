// The register's request/reply protocol: frames a command with its text, sends it
// through the transport, assembles the reply on a receiver thread and retries.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>

#include "device/DeviceEvent.h"
#include "device/DeviceTiming.h"
#include "device/EventHub.h"
#include "device/RegisterTrace.h"
#include "device/transport/iCOMDriver.h"

class cDeviceProtocol {
 public:
  static constexpr std::size_t kBufferSize = 256;
  static constexpr std::size_t kReplyAreaSize = kBufferSize + 6;
  using ReplyArea = std::array<std::uint8_t, kReplyAreaSize>;

  // Exchange results besides 0.
  static constexpr std::uint32_t kNoReply = 0xFFFFFFFF;         // no register, silence, wait failed
  static constexpr std::uint32_t kRefusedRepeatedly = 2;        // credits spent on NAKs or bad frames
  static constexpr std::uint32_t kRequestTooLong = 0xFFFFFFFE;  // nothing was sent
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

  // Makes the exchange under way give up at once and every later one fail
  // without sending: for a caller that must end now, even while a register
  // keeps the line busy with SYN for ever. Any thread.
  void Interrupt();
  bool Interrupted() const { return interrupted_.load(); }

  std::uint8_t SequenceNumber() const { return sequenceNumber_.load(); }

  // Where frames, NAK, SYN and silences are recorded; null for nowhere. Not owned.
  void SetTrace(RegisterTrace* trace) { trace_ = trace; }

 private:
  // What one read brought, once every byte of it was looked at.
  struct ReadOutcome {
    bool answered = false;  // the reply to the current request is in the reply area
    bool failed = false;    // NAK or a frame with wrong check characters
    bool waiting = false;   // SYN
  };
  // Takes the frames, NAKs and SYNs out of the first fill bytes of the receive
  // buffer; a frame not yet complete stays there, moved to its start, and fill
  // becomes its length.
  ReadOutcome TakeBytes(std::size_t& fill);
  // The length of the well-formed frame (LEN, ETX, the separators and the form
  // of the check characters in place) starting at at; 0 when the bytes there
  // cannot be one; nullopt when what has arrived may still be its beginning.
  std::optional<std::size_t> FrameAt(std::size_t at, std::size_t fill) const;
  // The held bytes from at end with a post-amble, four check characters and ETX.
  bool EndsAsAFrameEnds(std::size_t at, std::size_t fill) const;
  // The bytes held from the frame start at at, no whole frame, are a failed
  // reply: damaged and ended by ETX, or with a NAK behind the start.
  bool HeldFrameFailed(std::size_t at, std::size_t fill) const;
  bool CheckCharactersMatch(std::size_t at, std::size_t length) const;
  // A complete, well-formed frame of the given length at at.
  void TakeFrame(std::size_t at, std::size_t length, ReadOutcome& outcome);
  void Trace(RegisterTrace::Event event, std::span<const std::uint8_t> bytes = {}, std::string_view note = {}) const {
    if (RegisterTrace* trace = trace_.load(std::memory_order_relaxed)) trace->Record(event, bytes, note);
  }
  void Pause(std::uint32_t milliseconds) const;

  const DeviceTiming timing_;
  iCOMDriver* transport_ = nullptr;

  std::array<std::uint8_t, kBufferSize> transmit_{};
  std::uint32_t transmitLength_ = 0;

  // The receiver fills the reply area while the caller's thread clears and copies
  // it. The sequence byte changes, and a reply is judged against it and
  // announced, only under this lock: a late answer to the previous frame can
  // then never be taken for the answer to the frame sent after it.
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
  DeviceEvent interrupt_{hub_, true, false};
  std::atomic<bool> interrupted_{false};

  std::atomic<RegisterTrace*> trace_{nullptr};
};
