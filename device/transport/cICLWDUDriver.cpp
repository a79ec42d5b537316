#include "device/transport/cICLWDUDriver.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "data/CFormat.h"
#include "device/transport/LibusbBackend.h"

cICLWDUDriver::cICLWDUDriver(std::unique_ptr<UsbBackend> backend, const DeviceTiming& timing)
    : timing_(timing), backend_(std::move(backend)) {
  StartLibrary();
}

cICLWDUDriver::~cICLWDUDriver() { Close(); }

void cICLWDUDriver::StartLibrary() {
  if (!backend_) return;
  UsbBackend::Notices notices;
  notices.attached = [this](std::shared_ptr<UsbDeviceLink> device) {
    DropLeftover();
    const std::string description = device->Describe();
    {
      std::lock_guard lock(deviceMutex_);
      device_ = std::move(device);
      diagnostic_.clear();
    }
    attached_ = true;
    Trace(RegisterTrace::Event::Arrived, description);
  };
  notices.detached = [this](const UsbDeviceLink* device) {
    {
      std::lock_guard lock(deviceMutex_);
      if (device_.get() != device) return;  // not the register we hold
      device_.reset();
      attached_ = false;
    }
    Trace(RegisterTrace::Event::Departed, "detach notice");
  };
  notices.problem = [this](const std::string& text) {
    std::lock_guard lock(deviceMutex_);
    diagnostic_ = text;
  };
  libraryStarted_ = backend_->Start(std::move(notices));
}

std::shared_ptr<UsbDeviceLink> cICLWDUDriver::CurrentDevice() const {
  std::lock_guard lock(deviceMutex_);
  return device_;
}

std::string cICLWDUDriver::Diagnostic() const {
  std::lock_guard lock(deviceMutex_);
  return diagnostic_;
}

bool cICLWDUDriver::Open(std::uint32_t /*portIndex*/) { return attached_; }

void cICLWDUDriver::Close() {
  if (backend_ && libraryStarted_) backend_->Stop();
  libraryStarted_ = false;
  std::lock_guard lock(deviceMutex_);
  device_.reset();
  attached_ = false;
}

bool cICLWDUDriver::IsConnected() { return attached_; }

std::uint32_t cICLWDUDriver::GetLastStatus() { return status_.Last(); }

std::uint32_t cICLWDUDriver::Write(const std::uint8_t* data, std::uint32_t length) {
  const auto device = CurrentDevice();
  if (!device || data == nullptr) return 0;

  std::uint32_t sent = 0;
  int tries = kTries;
  std::array<std::uint8_t, kMaxChunk> chunk{};
  while (sent < length) {
    if (CurrentDevice() != device) {
      status_.RecordWrite(kStatusDeviceGone);
      return sent;
    }
    const std::uint32_t size = std::min(length - sent, kMaxChunk);
    std::memcpy(chunk.data(), data + sent, size);
    int transferred = 0;
    const int result =
        device->Transfer(kOutEndpoint, chunk.data(), static_cast<int>(size), transferred, timing_.usbTransferTimeoutMs);
    const auto taken = static_cast<std::uint32_t>(std::clamp(transferred, 0, static_cast<int>(size)));
    sent += taken;
    if (result == 0 && taken > 0) {
      status_.RecordWrite(0);
      tries = kTries;  // progress: the rest gets fresh tries
      continue;
    }
    // A transfer that "succeeds" without taking a byte would be repeated for
    // ever with fresh tries; it counts as a failed try.
    status_.RecordWrite(result != 0 ? static_cast<std::uint32_t>(-result) : kStatusZeroLengthWrite);
    if (CurrentDevice() != device) continue;  // dropped meanwhile: said at the top of the loop
    device->ClearHalt(kOutEndpoint);
    if (--tries == 0) return sent;
  }
  return length;
}

std::uint32_t cICLWDUDriver::Read(std::uint8_t* buffer, std::uint32_t capacity) {
  const auto device = CurrentDevice();
  if (!device || buffer == nullptr || capacity == 0) return 0;
  {
    std::lock_guard lock(leftoverMutex_);
    if (!leftover_.empty()) {
      const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(capacity, leftover_.size()));
      std::copy_n(leftover_.begin(), count, buffer);
      leftover_.erase(leftover_.begin(), leftover_.begin() + count);
      status_.RecordRead(0);
      return count;
    }
  }
  const std::uint32_t packet = device->InPacketSize() > 0 ? device->InPacketSize() : kDefaultPacketSize;
  // A frame needs far less; the bound keeps the sum below from overflowing.
  const std::uint32_t wanted = std::min<std::uint32_t>(capacity, 1u << 16);
  const std::uint32_t asked = (wanted + packet - 1) / packet * packet;
  std::vector<std::uint8_t> packets(asked);
  for (int attempt = 0; attempt < kTries; ++attempt) {
    if (CurrentDevice() != device) {
      status_.RecordRead(kStatusDeviceGone);
      return 0;
    }
    int transferred = 0;
    const int result = device->Transfer(kInEndpoint, packets.data(), static_cast<int>(asked), transferred,
                                        timing_.usbTransferTimeoutMs);
    const auto taken = static_cast<std::uint32_t>(std::clamp(transferred, 0, static_cast<int>(asked)));
    // Bytes that came with a time-out are bytes all the same; dropping them
    // would cost the frame.
    if (result == 0 || taken > 0) {
      status_.RecordRead(0);
      const std::uint32_t count = std::min(taken, capacity);
      std::copy_n(packets.begin(), count, buffer);
      if (taken > count) {
        std::lock_guard lock(leftoverMutex_);
        leftover_.assign(packets.begin() + count, packets.begin() + taken);
      }
      return count;
    }
    status_.RecordRead(static_cast<std::uint32_t>(-result));
    if (CurrentDevice() != device) continue;  // dropped meanwhile: said at the top of the loop
    device->ClearHalt(kInEndpoint);
  }
  return 0;
}

void cICLWDUDriver::DropLeftover() {
  std::lock_guard lock(leftoverMutex_);
  leftover_.clear();
}

void cICLWDUDriver::LetGo(std::shared_ptr<UsbDeviceLink> device) {
  {
    std::lock_guard lock(deviceMutex_);
    if (device_ == device) device_.reset();
    attached_ = device_ != nullptr;
  }
  device->Interrupt();
  std::weak_ptr<UsbDeviceLink> held = device;
  device.reset();
  // A transfer that ignored the interruption still ends by its own time-out.
  const auto limit = std::chrono::steady_clock::now() +
                     std::chrono::milliseconds(static_cast<std::uint64_t>(timing_.usbTransferTimeoutMs) * kTries + 100);
  while (!held.expired() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void cICLWDUDriver::Reset() {
  auto device = CurrentDevice();
  if (!device) return;
  DropLeftover();
  const int reset = device->ResetDevice();
  if (reset == 0) {
    // Reset in place: the handle and its claim stay good, and no new arrival
    // will be announced for a device that never left.
    Trace(RegisterTrace::Event::Reset, "device reset in place; the register stays attached");
    std::this_thread::sleep_for(std::chrono::milliseconds(timing_.resetSettleMs));
    return;
  }
  Trace(RegisterTrace::Event::Reset, "device reset answered " + std::to_string(reset) + "; opening the register anew");
  LetGo(std::move(device));
  if (backend_ && libraryStarted_) backend_->Stop();
  StartLibrary();
  for (std::uint32_t poll = 0; poll < timing_.attachPollCount && !CurrentDevice(); ++poll)
    std::this_thread::sleep_for(std::chrono::milliseconds(timing_.attachPollMs));
  std::this_thread::sleep_for(std::chrono::milliseconds(timing_.resetSettleMs));
  if (!CurrentDevice()) {
    Trace(RegisterTrace::Event::Reset,
          "the register did not come back" + (Diagnostic().empty() ? std::string() : ": " + Diagnostic()));
  }
}

namespace {

std::optional<std::uint16_t> HexId(std::string_view text) {
  std::uint16_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

class UsbAddress : public TransportAddress {
 public:
  explicit UsbAddress(std::optional<LibusbBackend::VendorProduct> only = std::nullopt) : only_(only) {}

  std::string_view Scheme() const override { return "usb"; }
  std::string Text() const override {
    if (!only_) return "usb";
    return CFormat("usb:%04x:%04x", only_->vendor, only_->product);
  }
  std::string Describe() const override { return "the USB register"; }
  std::unique_ptr<iCOMDriver> MakeTransport(const DeviceTiming& timing) const override {
    return std::make_unique<cICLWDUDriver>(
        std::make_unique<LibusbBackend>(only_, std::chrono::milliseconds(timing.usbClaimRetryMs)), timing);
  }

 private:
  std::optional<LibusbBackend::VendorProduct> only_;
};

std::shared_ptr<const TransportAddress> ParseAny(std::string_view, std::string*) {
  return std::make_shared<UsbAddress>();
}

std::shared_ptr<const TransportAddress> ParseDevice(std::string_view text, std::string* error) {
  const std::string_view ids = text.substr(text.find(':') + 1);
  const std::size_t colon = ids.find(':');
  const auto vendor = HexId(ids.substr(0, colon));
  const auto product = colon == std::string_view::npos ? std::nullopt : HexId(ids.substr(colon + 1));
  if (!vendor || !product) {
    if (error) *error = "a USB register is given as usb:VENDOR:PRODUCT in hexadecimal";
    return nullptr;
  }
  return std::make_shared<UsbAddress>(LibusbBackend::VendorProduct{*vendor, *product});
}

}  // namespace

const TransportScheme cICLWDUDriver::kAnyScheme = {"usb", "usb", false, ParseAny};
const TransportScheme cICLWDUDriver::kDeviceScheme = {"usb", "usb:VENDOR:PRODUCT", true, ParseDevice};
