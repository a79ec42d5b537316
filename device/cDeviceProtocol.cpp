#include "cDeviceProtocol.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "RegisterFrame.h"

namespace {

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

std::uint32_t cDeviceProtocol::SendFrame(std::uint16_t command, std::string_view requestText, ReplyArea& reply) {
  if (transport_ == nullptr) return kNoReply;
  const std::string_view text = UpToZero(requestText);
  // A text that LEN cannot express would build a frame the register misreads
  // (and once overran the transmit buffer): refuse it before anything is sent.
  if (text.size() > RegisterFrame::kMaxRequestText || text.size() + RegisterFrame::kRequestOverhead > kBufferSize)
    return kRequestTooLong;

  const std::uint8_t sequence = RegisterFrame::NextSequence(sequenceNumber_.load());
  sequenceNumber_ = sequence;
  transmitLength_ = static_cast<std::uint32_t>(
      RegisterFrame::BuildRequest(sequence, static_cast<std::uint8_t>(command & 0xFF), text, transmit_));

  {
    std::lock_guard lock(replyMutex_);
    replyArea_.fill(0);
  }
  reply.fill(0);
  replyReady_.Reset();
  deviceWait_.Reset();
  replyFailed_.Reset();
  receiveEnable_.Reset();

  std::uint32_t status = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    transport_->Write(transmit_.data(), transmitLength_);
    status = transport_->GetLastStatus();
    if (status == 0) break;
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
  if (transport_ == nullptr || !running_ || !transport_->IsConnected()) return kNoReply;
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
    const int which = DeviceEvent::WaitAny({&replyReady_, &deviceWait_, &replyFailed_},
                                           std::chrono::milliseconds(timing_.replyWaitMs));
    if (which == 0) {
      std::lock_guard lock(replyMutex_);
      reply = replyArea_;
      closeGate.answered = true;
      return 0;
    }
    if (which == 1) {
      // The register is still working: wait again, at no cost.
      deviceWait_.Reset();
      continue;
    }
    if (which == 2) {
      replyFailed_.Reset();
      SendFrame(command, requestText, reply);
      credits -= 1;
      failure = kRefusedRepeatedly;
    } else {
      transport_->Reset();
      SendFrame(command, requestText, reply);
      credits -= kSilenceCost;
      failure = kNoReply;
    }
    if (credits <= 0) {
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

void cDeviceProtocol::TakeFrame(std::size_t fill, bool& checkMatched, bool& sequenceMatched) {
  const std::uint8_t current = sequenceNumber_.load();
  bool haveSequence = false;
  std::uint8_t frameSequence = 0;
  checkMatched = false;

  std::lock_guard lock(replyMutex_);
  std::size_t at = 0;
  while (at < fill) {
    const std::uint8_t byte = receive_[at];
    if (byte == RegisterFrame::kETX) break;
    if (byte == RegisterFrame::kSOH) {
      if (at + 2 >= fill) break;  // LEN and SEQ have not arrived: not a frame
      const auto textLength = static_cast<std::uint8_t>(receive_[at + 1] - RegisterFrame::kReplyLenBase);
      frameSequence = receive_[at + 2];
      haveSequence = true;
      if (frameSequence == current) {
        std::fill_n(replyArea_.begin(), kBufferSize, std::uint8_t{0});
        const std::size_t textStart = at + 4;
        const std::size_t available = textStart < fill ? fill - textStart : 0;
        const std::size_t count = std::min<std::size_t>(textLength, available);
        std::copy_n(receive_.begin() + static_cast<std::ptrdiff_t>(textStart), count, replyArea_.begin());
      }
      at += 4 + textLength;
    } else if (byte == RegisterFrame::kSeparator) {
      if (haveSequence && frameSequence == current) {
        const std::size_t available = fill - (at + 1);
        const std::size_t count = std::min<std::size_t>(RegisterFrame::kStatusBytes, available);
        std::copy_n(receive_.begin() + static_cast<std::ptrdiff_t>(at + 1), count, replyArea_.begin() + kBufferSize);
      }
      at += 1 + RegisterFrame::kStatusBytes;
    } else if (byte == RegisterFrame::kPostamble) {
      // Summed from LEN to the first post-amble; the four characters after it
      // must all have arrived.
      std::size_t end = 1;
      while (end < fill && receive_[end] != RegisterFrame::kPostamble) ++end;
      if (end + 4 < fill) {
        const auto expected = RegisterFrame::CheckCharacters(std::span(receive_).subspan(1, end));
        checkMatched = std::equal(expected.begin(), expected.end(), receive_.begin() + static_cast<std::ptrdiff_t>(end + 1));
      } else {
        checkMatched = false;
      }
      at += 1;
    } else {
      at += 1;
    }
  }
  sequenceMatched = haveSequence && frameSequence == current;
}

void cDeviceProtocol::ReceiverThread(cDeviceProtocol& engine) {
  std::size_t fill = 0;
  bool inFrame = false;
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
    // A frame longer than the buffer cannot be taken: start again at its beginning.
    if (fill >= kBufferSize) fill = 0;
    const auto capacity = static_cast<std::uint32_t>(kBufferSize - fill);
    const std::uint32_t got = std::min(transport->Read(buffer.data() + fill, capacity), capacity);

    if (got == 0) {
      if (emptyReads <= kEmptyReadsBeforeFailure) ++emptyReads;
      // The count stays above the limit, so that further empty reads fail at
      // once until bytes come again.
      if (emptyReads > kEmptyReadsBeforeFailure) {
        inFrame = false;
        fill = 0;
        engine.receiveEnable_.Reset();
        engine.replyFailed_.Set();
      }
      continue;
    }
    emptyReads = 0;

    bool assemble = false;
    switch (buffer[fill]) {
      case RegisterFrame::kSOH:
        // A new frame while an unfinished one is held: the old one is lost, and
        // the new one is taken from the start of the buffer so it can be checked.
        if (inFrame && fill > 0) std::memmove(buffer.data(), buffer.data() + fill, got);
        if (inFrame) fill = 0;
        inFrame = true;
        fill += got;
        assemble = true;
        break;
      case RegisterFrame::kNAK:
        inFrame = false;
        fill = 0;
        engine.receiveEnable_.Reset();
        engine.replyFailed_.Set();
        break;
      case RegisterFrame::kSYN:
        if (!inFrame) fill = 0;
        engine.deviceWait_.Set();
        assemble = inFrame;
        break;
      default:
        if (inFrame) {
          fill += got;
          assemble = true;
        } else {
          fill = 0;  // bytes with no frame started are dropped
        }
        break;
    }
    if (!assemble || fill == 0 || buffer[fill - 1] != RegisterFrame::kETX) continue;

    bool checkMatched = false;
    bool sequenceMatched = false;
    engine.TakeFrame(fill, checkMatched, sequenceMatched);
    inFrame = false;
    fill = 0;
    if (checkMatched && sequenceMatched) {
      // Closed before the reply is announced, so that the next request's
      // SendFrame cannot have its gate closed behind it.
      engine.receiveEnable_.Reset();
      engine.replyReady_.Set();
    } else if (!checkMatched) {
      engine.receiveEnable_.Reset();
      engine.replyFailed_.Set();
    }
    // A good frame with another sequence byte is a late answer: keep reading.
  }
  engine.stopped_ = true;
}
