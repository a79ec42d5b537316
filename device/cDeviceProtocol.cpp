#include "device/cDeviceProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "device/RegisterFrame.h"

namespace {

bool IsCheckCharacter(std::uint8_t byte) { return byte >= 0x30 && byte <= 0x3F; }

// The request text ends at its first zero byte, as a C string would.
std::string_view UpToZero(std::string_view text) {
  const auto zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

}  // namespace

cDeviceProtocol::cDeviceProtocol(const DeviceTiming& timing) : timing_(timing) {}

cDeviceProtocol::~cDeviceProtocol() { Stop(); }

void cDeviceProtocol::Pause(std::uint32_t milliseconds) const {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool cDeviceProtocol::Start(iCOMDriver* transport) {
  if (transport == nullptr) return false;
  Stop();
  transport_ = transport;
  const bool opened = transport_->Open(0);
  replyReady_.Reset();
  deviceWait_.Reset();
  exchangeLock_.Set();
  receiveEnable_.Reset();
  replyFailed_.Reset();
  // Marked running before the thread exists, so that a Stop right after Start
  // cannot be overtaken by the thread's own start.
  running_ = true;
  stopped_ = false;
  receiver_ = std::thread(&cDeviceProtocol::ReceiverThread, std::ref(*this));
  Pause(timing_.startPauseMs);
  return opened;
}

void cDeviceProtocol::Stop() {
  if (!receiver_.joinable()) return;
  running_ = false;
  receiveEnable_.Set();
  while (!stopped_) Pause(std::max<std::uint32_t>(timing_.stopPollMs, 1));
  receiver_.join();
  receiveEnable_.Reset();
}

void cDeviceProtocol::Interrupt() {
  interrupted_ = true;
  interrupt_.Set();
}

std::uint32_t cDeviceProtocol::SendFrame(std::uint16_t command, std::string_view requestText, ReplyArea& reply) {
  if (transport_ == nullptr) return kNoReply;
  const std::string_view text = UpToZero(requestText);
  // A text that LEN cannot express would build a frame the register misreads
  // (and once overran the transmit buffer): refuse it before anything is sent.
  if (text.size() > RegisterFrame::kMaxRequestText || text.size() + RegisterFrame::kRequestOverhead > kBufferSize)
    return kRequestTooLong;

  {
    // From here on a reply counts only when it carries the new sequence byte.
    std::lock_guard lock(replyMutex_);
    const std::uint8_t sequence = RegisterFrame::NextSequence(sequenceNumber_.load());
    sequenceNumber_ = sequence;
    transmitLength_ = static_cast<std::uint32_t>(
        RegisterFrame::BuildRequest(sequence, static_cast<std::uint8_t>(command & 0xFF), text, transmit_));
    replyArea_.fill(0);
    replyReady_.Reset();
  }
  reply.fill(0);
  deviceWait_.Reset();
  replyFailed_.Reset();
  receiveEnable_.Reset();

  const std::span<const std::uint8_t> frame(transmit_.data(), transmitLength_);
  std::uint32_t status = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    transport_->Write(transmit_.data(), transmitLength_);
    status = transport_->GetLastStatus();
    if (status == 0) {
      Trace(RegisterTrace::Event::Sent, frame);
      break;
    }
    if (trace_.load(std::memory_order_relaxed) != nullptr)
      Trace(RegisterTrace::Event::SendFailed, frame, "status " + std::to_string(status));
    transport_->Reset();
    Pause(timing_.writeRetryPauseMs);
  }
  if (status != 0) return status;

  receiveEnable_.Set();
  Pause(timing_.afterFramePauseMs);
  return 0;
}

std::uint32_t cDeviceProtocol::Exchange(std::uint16_t command, std::string_view requestText, ReplyArea& reply) {
  // Without a receiver no answer can arrive: fail at once instead of after
  // three silent periods.
  if (transport_ == nullptr || !running_ || interrupted_ || !transport_->IsConnected()) return kNoReply;
  if (UpToZero(requestText).size() > RegisterFrame::kMaxRequestText) return kRequestTooLong;

  // A lock left taken by a stuck exchange must not block the product for good.
  exchangeLock_.Wait(std::chrono::milliseconds(timing_.exchangeLockWaitMs));
  struct FreeLock {
    DeviceEvent& lock;
    ~FreeLock() { lock.Set(); }
  } freeLock{exchangeLock_};

  const std::uint32_t sent = SendFrame(command, requestText, reply);
  if (sent != 0) {
    transport_->Reset();
    return sent;
  }
  // Once an exchange has given up, nothing it sent is awaited any more: the
  // receiver goes back to sleep instead of polling a register that went away.
  struct CloseGate {
    DeviceEvent& gate;
    bool answered = false;
    ~CloseGate() {
      if (!answered) gate.Reset();
    }
  } closeGate{receiveEnable_};

  int credits = kCredits;
  for (;;) {
    std::uint32_t failure = kNoReply;
    // The interrupt first: a register sending SYN all the time keeps deviceWait set.
    const int which = DeviceEvent::WaitAny({&interrupt_, &replyReady_, &deviceWait_, &replyFailed_},
                                           std::chrono::milliseconds(timing_.replyWaitMs));
    if (which == 0) {
      Trace(RegisterTrace::Event::Reset, {}, "the exchange was interrupted");
      return kNoReply;
    }
    if (which == 1) {
      std::lock_guard lock(replyMutex_);
      reply = replyArea_;
      closeGate.answered = true;
      return 0;
    }
    if (which == 2) {
      // The register is still working: wait again, at no cost.
      deviceWait_.Reset();
      continue;
    }
    if (which == 3) {
      replyFailed_.Reset();
      SendFrame(command, requestText, reply);
      credits -= 1;
      failure = kRefusedRepeatedly;
    } else {
      if (trace_.load(std::memory_order_relaxed) != nullptr)
        Trace(RegisterTrace::Event::Silence, {},
              "no answer within " + std::to_string(timing_.replyWaitMs) + " ms; reset and send again");
      transport_->Reset();
      SendFrame(command, requestText, reply);
      credits -= kSilenceCost;
      failure = kNoReply;
    }
    if (credits <= 0) {
      Trace(RegisterTrace::Event::Reset, {}, "the exchange gives up");
      transport_->Reset();
      return failure;
    }
  }
}

int cDeviceProtocol::DeviceTransaction(std::uint16_t command, std::string_view requestText, std::string& replyText) {
  ReplyArea area{};
  if (Exchange(command, requestText, area) != 0) return 1;
  const auto* text = reinterpret_cast<const char*>(area.data());
  replyText.assign(text, strnlen(text, kBufferSize));
  return (area[kBufferSize] & RegisterFrame::kStatusFailed) != 0 ? 1 : 0;
}

std::optional<std::size_t> cDeviceProtocol::FrameAt(std::size_t at, std::size_t fill) const {
  const std::size_t held = fill - at;
  if (held < 2) return std::nullopt;
  const std::uint8_t len = receive_[at + 1];
  if (len < RegisterFrame::kReplyLenBase) return 0;
  // SOH, the LEN - 0x20 bytes from LEN to the post-amble, four check characters, ETX.
  const std::size_t length = len - 0x20u + 6u;
  const std::size_t separator = 4u + (len - RegisterFrame::kReplyLenBase);
  const std::size_t postamble = length - 6;
  // Every fixed byte that has arrived must be in place, so that a damaged frame
  // is known as soon as its end is there, not after a silence.
  const auto arrivedAs = [&](std::size_t offset, auto&& fits) { return offset >= held || fits(receive_[at + offset]); };
  const auto is = [](std::uint8_t wanted) { return [wanted](std::uint8_t byte) { return byte == wanted; }; };
  if (!arrivedAs(separator, is(RegisterFrame::kSeparator)) || !arrivedAs(postamble, is(RegisterFrame::kPostamble)) ||
      !arrivedAs(length - 1, is(RegisterFrame::kETX)))
    return 0;
  for (std::size_t offset = postamble + 1; offset < length - 1; ++offset)
    if (!arrivedAs(offset, IsCheckCharacter)) return 0;
  if (held < length) return std::nullopt;
  return length;
}

bool cDeviceProtocol::EndsAsAFrameEnds(std::size_t at, std::size_t fill) const {
  // SOH, LEN, SEQ, CMD, then post-amble, four check characters and ETX.
  if (fill - at < 4 + 6) return false;
  return receive_[fill - 1] == RegisterFrame::kETX && receive_[fill - 6] == RegisterFrame::kPostamble &&
         std::all_of(receive_.begin() + static_cast<std::ptrdiff_t>(fill - 5),
                     receive_.begin() + static_cast<std::ptrdiff_t>(fill - 1), IsCheckCharacter);
}

bool cDeviceProtocol::HeldFrameFailed(std::size_t at, std::size_t fill) const {
  const auto shape = FrameAt(at, fill);
  const bool damaged = shape.has_value();  // never a whole frame here: that was taken
  // A NAK counts wherever it stands, except among the status bytes of a frame
  // that may still arrive whole: those may be any value.
  const std::size_t textLength = damaged ? 0 : receive_[at + 1] - RegisterFrame::kReplyLenBase;
  for (std::size_t i = at + 1; i < fill; ++i) {
    if (receive_[i] != RegisterFrame::kNAK) continue;
    const std::size_t offset = i - at;
    if (damaged || offset < 5 + textLength || offset >= 5 + textLength + RegisterFrame::kStatusBytes) return true;
  }
  // Bytes that end in ETX are the end of the reply unless that ETX may be a
  // byte of the text or the status of a frame still arriving.
  if (receive_[fill - 1] != RegisterFrame::kETX) return false;
  return damaged || EndsAsAFrameEnds(at, fill);
}

bool cDeviceProtocol::CheckCharactersMatch(std::size_t at, std::size_t length) const {
  // Summed from LEN up to and including the post-amble.
  const auto expected = RegisterFrame::CheckCharacters(std::span(receive_).subspan(at + 1, length - 6));
  return std::equal(expected.begin(), expected.end(), receive_.begin() + static_cast<std::ptrdiff_t>(at + length - 5));
}

void cDeviceProtocol::TakeFrame(std::size_t at, std::size_t length, ReadOutcome& outcome) {
  const std::span<const std::uint8_t> frame(receive_.data() + at, length);
  if (!CheckCharactersMatch(at, length)) {
    Trace(RegisterTrace::Event::Received, frame, "wrong check characters");
    outcome.failed = true;
    return;
  }
  const std::uint8_t frameSequence = receive_[at + 2];
  std::uint8_t current = 0;
  {
    std::lock_guard lock(replyMutex_);
    current = sequenceNumber_.load();
    if (frameSequence == current) {
      const std::size_t textLength = receive_[at + 1] - RegisterFrame::kReplyLenBase;
      std::fill_n(replyArea_.begin(), kBufferSize, std::uint8_t{0});
      std::copy_n(frame.begin() + 4, textLength, replyArea_.begin());
      std::copy_n(frame.begin() + static_cast<std::ptrdiff_t>(4 + textLength + 1), RegisterFrame::kStatusBytes,
                  replyArea_.begin() + kBufferSize);
      // Closed before the reply is announced, so that the next request's
      // SendFrame cannot have its gate closed behind it.
      receiveEnable_.Reset();
      replyReady_.Set();
      outcome.answered = true;
    }
  }
  if (trace_.load(std::memory_order_relaxed) == nullptr) return;
  if (outcome.answered) {
    Trace(RegisterTrace::Event::Received, frame, "the answer");
  } else {
    char note[64];
    std::snprintf(note, sizeof note, "late answer dropped: SEQ %02X awaited", current);
    Trace(RegisterTrace::Event::Received, frame, note);
  }
}

cDeviceProtocol::ReadOutcome cDeviceProtocol::TakeBytes(std::size_t& fill) {
  ReadOutcome outcome;
  std::size_t at = 0;
  std::size_t strayFrom = fill;  // start of the run of bytes being dropped
  const auto endStray = [&](std::size_t upTo) {
    if (strayFrom < upTo) Trace(RegisterTrace::Event::Stray, std::span(receive_).subspan(strayFrom, upTo - strayFrom));
    strayFrom = fill;
  };
  const auto stray = [&](std::size_t count) {
    if (strayFrom == fill) strayFrom = at;
    at += count;
  };
  while (at < fill && !outcome.answered) {
    const std::uint8_t byte = receive_[at];
    if (byte == RegisterFrame::kNAK || byte == RegisterFrame::kSYN) {
      endStray(at);
      Trace(byte == RegisterFrame::kNAK ? RegisterTrace::Event::Nak : RegisterTrace::Event::Syn);
      (byte == RegisterFrame::kNAK ? outcome.failed : outcome.waiting) = true;
      ++at;
      continue;
    }
    if (byte != RegisterFrame::kSOH) {
      stray(1);
      continue;
    }
    const auto length = FrameAt(at, fill);
    if (length && *length > 0) {
      endStray(at);
      TakeFrame(at, *length, outcome);
      at += *length;
      continue;
    }
    // A frame start whose end has not arrived, or one that cannot be a frame.
    // If a complete, valid frame starts further on, this start was a stray
    // byte (or the rest of a frame that was cut short) and waiting for it
    // would lose the reply.
    std::size_t next = at + 1;
    for (; next < fill; ++next) {
      if (receive_[next] != RegisterFrame::kSOH) continue;
      const auto inner = FrameAt(next, fill);
      if (inner && *inner > 0 && CheckCharactersMatch(next, *inner)) break;
    }
    if (next >= fill) break;  // held: the rest may still come
    stray(next - at);
  }
  endStray(at);
  // What is held from a frame start is a failed reply once its ETX has come
  // and the frame is damaged, or a NAK stands behind it: waiting for the rest
  // would cost a silence and a transport reset instead of a resend.
  if (!outcome.answered && at < fill && HeldFrameFailed(at, fill)) {
    Trace(RegisterTrace::Event::Received, std::span(receive_).subspan(at, fill - at), "damaged reply or NAK");
    outcome.failed = true;
    at = fill;
  }
  if (outcome.answered) {
    fill = 0;  // what followed the answer belongs to no request
  } else {
    std::memmove(receive_.data(), receive_.data() + at, fill - at);
    fill -= at;
  }
  return outcome;
}

void cDeviceProtocol::ReceiverThread(cDeviceProtocol& engine) {
  std::size_t fill = 0;
  std::uint32_t emptyReads = 0;
  auto& buffer = engine.receive_;

  while (engine.running_) {
    engine.receiveEnable_.WaitForever();
    if (!engine.running_) break;
    iCOMDriver* transport = engine.transport_;
    if (transport == nullptr) continue;
    if (!transport->IsConnected()) {
      engine.Pause(engine.timing_.noDevicePollMs);
      continue;
    }
    // A frame is at most 229 bytes, so what is held leaves room for more; a
    // buffer full of what is neither a frame nor its start is dropped.
    if (fill >= kBufferSize) fill = 0;
    const auto capacity = static_cast<std::uint32_t>(kBufferSize - fill);
    const std::uint32_t got = std::min(transport->Read(buffer.data() + fill, capacity), capacity);

    if (got == 0) {
      if (emptyReads <= kEmptyReadsBeforeFailure) ++emptyReads;
      // The count stays above the limit, so that further empty reads fail at
      // once until bytes come again.
      if (emptyReads > kEmptyReadsBeforeFailure) {
        if (emptyReads == kEmptyReadsBeforeFailure + 1) {
          engine.Trace(RegisterTrace::Event::EmptyReads, {}, "21 reads in a row brought nothing");
          ++emptyReads;
        }
        fill = 0;
        engine.receiveEnable_.Reset();
        engine.replyFailed_.Set();
      }
      continue;
    }
    emptyReads = 0;

    // SYNs or NAKs alone while a frame is held are the register's own answers,
    // not bytes of the frame.
    const auto fresh = std::span(buffer).subspan(fill, got);
    if (fill > 0 && std::all_of(fresh.begin(), fresh.end(), [](std::uint8_t byte) {
          return byte == RegisterFrame::kSYN || byte == RegisterFrame::kNAK;
        })) {
      if (std::find(fresh.begin(), fresh.end(), RegisterFrame::kNAK) != fresh.end()) {
        engine.Trace(RegisterTrace::Event::Nak);
        fill = 0;
        engine.receiveEnable_.Reset();
        engine.replyFailed_.Set();
        continue;
      }
      engine.Trace(RegisterTrace::Event::Syn);
      engine.deviceWait_.Set();
      continue;
    }
    // Every byte is looked at: a SYN, a NAK or stray bytes in front of a
    // frame in the same read do not cost the frame.
    fill += got;
    const ReadOutcome outcome = engine.TakeBytes(fill);
    if (outcome.answered) continue;
    if (outcome.waiting) engine.deviceWait_.Set();
    if (outcome.failed) {
      fill = 0;
      engine.receiveEnable_.Reset();
      engine.replyFailed_.Set();
    }
    // A good frame with another sequence byte is a late answer: keep reading.
  }
  engine.stopped_ = true;
}
