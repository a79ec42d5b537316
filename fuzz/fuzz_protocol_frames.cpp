// The protocol engine's frame receiver: one transaction whose reply bytes are
// the fuzz input, handed out by a scripted transport in pieces. The first byte
// sets the piece size (low four bits, 0 = all at once), whether the rest is
// wrapped into a well-formed reply frame (bit 4) and the command (bits 5-6).
// In raw replies every 0xFF byte becomes the request's sequence byte, so that
// inputs reach the reply area whatever sequence the engine is at.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "device/DeviceTiming.h"
#include "device/RegisterFrame.h"
#include "device/cDeviceProtocol.h"
#include "device/transport/iCOMDriver.h"

namespace {

// Answers every request at once and never blocks: an empty Read returns 0
// immediately, so silence costs no real time.
class ReplayTransport : public iCOMDriver {
 public:
  ReplayTransport(std::vector<std::uint8_t> reply, std::size_t piece, bool wrap)
      : reply_(std::move(reply)), piece_(piece), wrap_(wrap) {}

  bool Open(std::uint32_t) override { return true; }
  void Close() override {}
  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override {
    std::lock_guard lock(mutex_);
    if (length < 4 || ++writes_ > 3) return length;  // a few answers are enough
    const std::uint8_t sequence = data[2];
    std::vector<std::uint8_t> bytes;
    if (wrap_) {
      const std::string_view text(reinterpret_cast<const char*>(reply_.data()), reply_.size());
      bytes = RegisterFrame::BuildReply(sequence, data[3], text.substr(0, RegisterFrame::kMaxReplyText),
                                        {0x80, 0x80, 0x80, 0x80, 0x80, 0x80});
    } else {
      bytes = reply_;
      std::replace(bytes.begin(), bytes.end(), std::uint8_t{0xFF}, sequence);
    }
    for (std::size_t at = 0; at < bytes.size(); at += piece_) {
      const auto end = bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), at + piece_));
      pieces_.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at), end);
    }
    return length;
  }
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override {
    std::lock_guard lock(mutex_);
    if (pieces_.empty() || capacity == 0) return 0;
    auto& piece = pieces_.front();
    const std::size_t count = std::min<std::size_t>(capacity, piece.size());
    std::copy_n(piece.begin(), count, buffer);
    piece.erase(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(count));
    if (piece.empty()) pieces_.pop_front();
    return static_cast<std::uint32_t>(count);
  }
  std::uint32_t GetLastStatus() override { return 0; }
  void Reset() override {}
  bool IsConnected() override { return true; }

 private:
  std::mutex mutex_;
  const std::vector<std::uint8_t> reply_;
  const std::size_t piece_;
  const bool wrap_;
  int writes_ = 0;
  std::deque<std::vector<std::uint8_t>> pieces_;
};

DeviceTiming TinyTiming() {
  DeviceTiming timing;
  timing.replyWaitMs = 1;
  timing.exchangeLockWaitMs = 1;
  timing.writeRetryPauseMs = 0;
  timing.afterFramePauseMs = 0;
  timing.noDevicePollMs = 1;
  timing.stopPollMs = 1;
  timing.startPauseMs = 0;
  timing.lineReadTimeoutMs = 0;
  return timing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  const std::size_t piece = (flags & 0x0F) == 0 ? cDeviceProtocol::kBufferSize * 2 : (flags & 0x0F);
  const bool wrap = (flags & 0x10) != 0;
  static constexpr std::uint16_t kCommands[] = {0x80, 0x83, 0x6B, 0x80};
  const std::uint16_t command = kCommands[(flags >> 5) & 3];

  ReplayTransport transport(std::vector<std::uint8_t>(data + 1, data + size), piece, wrap);
  cDeviceProtocol engine(TinyTiming());
  engine.Start(&transport);
  std::string reply;
  (void)engine.DeviceTransaction(command, command == 0x83 ? "R1" : "", reply);
  engine.Stop();
  return 0;
}
