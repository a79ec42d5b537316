// A USB library played by the test: a register that can be plugged and
// unplugged, and whose transfers follow a script. Like the kernel, it lets one
// handle at a time claim the register's interface: a handle that is still open
// keeps a second one out, and every announcement brings a new handle.
#pragma once

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/transport/UsbBackend.h"

class FakeUsbHandle;

// The register on the bus.
class FakeUsbLink : public std::enable_shared_from_this<FakeUsbLink> {
 public:
  struct Step {
    int result = 0;
    int transferred = -1;            // -1: everything asked for
    std::vector<std::uint8_t> data;  // for reads
  };
  struct Call {
    std::uint8_t endpoint;
    std::vector<std::uint8_t> bytes;  // written bytes, or the length asked for reads
    int length;
  };

  // Called inside a transfer before it answers (to unplug mid-transfer, say).
  std::function<void()> during;
  // Called with every whole request frame written, to queue the answer.
  std::function<void(const std::vector<std::uint8_t>& frame, FakeUsbLink& self)> onFrame;
  // What a device reset answers: 0 for a reset in place, after which the handle
  // works on; anything else leaves the handle useless but still open.
  std::atomic<int> resetResult{LIBUSB_ERROR_IO};
  // The IN endpoint's packet size. A read step's bytes come as one transfer;
  // when they do not fit the room asked for, the transfer overflows and they
  // are lost, as with a real device sending a packet larger than that room.
  std::atomic<std::uint32_t> inPacketSize{64};

  void Script(std::uint8_t endpoint, std::vector<Step> steps) {
    {
      std::lock_guard lock(mutex_);
      auto& queue = endpoint == 0x03 ? out_ : in_;
      queue.insert(queue.end(), steps.begin(), steps.end());
    }
    changed_.notify_all();
  }

  // A handle with the interface claimed, or null with the reason in problem
  // when another open handle holds the claim.
  std::shared_ptr<UsbDeviceLink> Open(std::string* problem);

  // Unplugging ends every handle: its transfers fail from then on.
  void Unplugged() {
    std::lock_guard lock(mutex_);
    ++generation_;
    claimed_ = false;
    changed_.notify_all();
  }

  std::vector<Call> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::vector<std::uint8_t> Halts() const {
    std::lock_guard lock(mutex_);
    return halts_;
  }
  int Resets() const {
    std::lock_guard lock(mutex_);
    return resets_;
  }
  int Handles() const {
    std::lock_guard lock(mutex_);
    return handles_;
  }
  // Transfers ended early because their handle was being let go.
  int InterruptedTransfers() const {
    std::lock_guard lock(mutex_);
    return interrupted_;
  }

 private:
  friend class FakeUsbHandle;

  int Transfer(FakeUsbHandle& handle, std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred,
               unsigned timeoutMs);
  void Halt(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    halts_.push_back(endpoint);
  }
  int Reset() {
    std::lock_guard lock(mutex_);
    ++resets_;
    return resetResult;
  }
  void Release(int generation) {
    std::lock_guard lock(mutex_);
    if (generation == generation_) claimed_ = false;
  }
  void Wake() { changed_.notify_all(); }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Step> out_;
  std::deque<Step> in_;
  std::vector<Call> calls_;
  std::vector<std::uint8_t> halts_;
  std::vector<std::uint8_t> written_;
  int resets_ = 0;
  int handles_ = 0;
  int interrupted_ = 0;
  int generation_ = 0;  // goes up when the register is unplugged
  bool claimed_ = false;
};

// One opened handle of the register, as the transport holds it.
class FakeUsbHandle : public UsbDeviceLink {
 public:
  FakeUsbHandle(std::shared_ptr<FakeUsbLink> device, int generation)
      : device_(std::move(device)), generation_(generation) {}
  ~FakeUsbHandle() override { device_->Release(generation_); }

  int Transfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred, unsigned timeoutMs) override {
    return device_->Transfer(*this, endpoint, data, length, transferred, timeoutMs);
  }
  int ClearHalt(std::uint8_t endpoint) override {
    device_->Halt(endpoint);
    return 0;
  }
  int ResetDevice() override {
    const int result = device_->Reset();
    if (result != 0) finished_ = true;
    return result;
  }
  void Interrupt() override {
    interrupted_ = true;
    device_->Wake();
  }
  std::uint32_t InPacketSize() const override { return device_->inPacketSize; }
  std::string Describe() const override { return "fake register"; }

  bool Interrupted() const { return interrupted_; }
  bool Finished() const { return finished_; }
  int Generation() const { return generation_; }

 private:
  std::shared_ptr<FakeUsbLink> device_;
  const int generation_;
  std::atomic<bool> interrupted_{false};
  std::atomic<bool> finished_{false};
};

inline std::shared_ptr<UsbDeviceLink> FakeUsbLink::Open(std::string* problem) {
  std::lock_guard lock(mutex_);
  if (claimed_) {
    if (problem) *problem = "USB register found but its interface is in use: LIBUSB_ERROR_BUSY";
    return nullptr;
  }
  claimed_ = true;
  ++handles_;
  return std::make_shared<FakeUsbHandle>(shared_from_this(), generation_);
}

inline int FakeUsbLink::Transfer(FakeUsbHandle& handle, std::uint8_t endpoint, std::uint8_t* data, int length,
                                 int& transferred, unsigned timeoutMs) {
  transferred = 0;
  std::function<void()> hook;
  std::function<void(const std::vector<std::uint8_t>&, FakeUsbLink&)> answer;
  std::vector<std::uint8_t> frame;
  Step step;
  {
    std::unique_lock lock(mutex_);
    const auto gone = [&] { return handle.Interrupted() || handle.Finished() || handle.Generation() != generation_; };
    if (gone()) {
      if (handle.Interrupted()) ++interrupted_;
      return handle.Interrupted() ? LIBUSB_ERROR_INTERRUPTED : LIBUSB_ERROR_NO_DEVICE;
    }
    auto& queue = endpoint == 0x03 ? out_ : in_;
    if (endpoint != 0x03 && queue.empty()) {
      // Nothing to read: wait, as the device would, for bytes or the time-out.
      changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !queue.empty() || gone(); });
      if (gone()) {
        if (handle.Interrupted()) ++interrupted_;
        return handle.Interrupted() ? LIBUSB_ERROR_INTERRUPTED : LIBUSB_ERROR_NO_DEVICE;
      }
    }
    if (!queue.empty()) {
      step = queue.front();
      queue.pop_front();
    } else if (endpoint != 0x03) {
      step.result = LIBUSB_ERROR_TIMEOUT;
      step.transferred = 0;
    }
    Call call{endpoint, {}, length};
    if (endpoint == 0x03) call.bytes.assign(data, data + length);
    calls_.push_back(call);
    hook = during;
    if (endpoint == 0x03 && step.result == 0) {
      const int taken = step.transferred < 0 ? length : step.transferred;
      written_.insert(written_.end(), data, data + taken);
      // A request frame is LEN - 0x1A bytes long; other bytes are no frame.
      if (written_.empty()) {
      } else if (written_.front() != 0x01 || (written_.size() >= 2 && written_[1] < 0x24)) {
        written_.clear();
      } else if (written_.size() >= 2 && written_.size() >= written_[1] - 0x1Au) {
        frame.swap(written_);
        answer = onFrame;
      }
    }
  }
  if (hook) hook();
  if (endpoint == 0x03) {
    transferred = step.transferred < 0 ? length : step.transferred;
  } else if (step.result == 0 && static_cast<int>(step.data.size()) > length) {
    transferred = 0;
    return LIBUSB_ERROR_OVERFLOW;
  } else {
    const int count = std::min<int>(length, static_cast<int>(step.data.size()));
    std::copy_n(step.data.begin(), count, data);
    transferred = step.transferred < 0 ? count : step.transferred;
  }
  if (answer) answer(frame, *this);
  return step.result;
}

class FakeUsbBackend : public UsbBackend {
 public:
  // What Start answers, and whether a plugged register is announced on Start
  // (as the library announces registers already present).
  bool usable = true;
  bool reannounce = true;
  std::string problemOnStart;

  bool Start(Notices notices) override {
    std::shared_ptr<FakeUsbLink> present;
    {
      std::lock_guard lock(mutex_);
      ++starts_;
      notices_ = std::move(notices);
      if (!usable) {
        if (notices_.problem) notices_.problem(problemOnStart);
        return false;
      }
      if (!problemOnStart.empty() && notices_.problem) notices_.problem(problemOnStart);
      if (reannounce) present = plugged_;
    }
    if (present) Announce(present);
    return true;
  }
  void Stop() override {
    std::lock_guard lock(mutex_);
    ++stops_;
    notices_ = {};
  }

  void Plug(std::shared_ptr<FakeUsbLink> link) {
    {
      std::lock_guard lock(mutex_);
      plugged_ = link;
    }
    Announce(link);
  }
  void Unplug() {
    Notices notices;
    std::shared_ptr<FakeUsbLink> gone;
    const UsbDeviceLink* handle = nullptr;
    {
      std::lock_guard lock(mutex_);
      gone = std::move(plugged_);
      notices = notices_;
      handle = announced_;
      announced_ = nullptr;
    }
    if (!gone) return;
    gone->Unplugged();
    if (handle && notices.detached) notices.detached(handle);
  }
  int Starts() const {
    std::lock_guard lock(mutex_);
    return starts_;
  }
  int Stops() const {
    std::lock_guard lock(mutex_);
    return stops_;
  }

 private:
  // A new handle for the register, or the reason there is none.
  void Announce(const std::shared_ptr<FakeUsbLink>& link) {
    Notices notices;
    {
      std::lock_guard lock(mutex_);
      notices = notices_;
    }
    std::string problem;
    auto handle = link->Open(&problem);
    if (!handle) {
      if (notices.problem) notices.problem(problem);
      return;
    }
    {
      std::lock_guard lock(mutex_);
      announced_ = handle.get();
    }
    if (notices.attached) notices.attached(std::move(handle));
  }

  mutable std::mutex mutex_;
  Notices notices_;
  std::shared_ptr<FakeUsbLink> plugged_;
  const UsbDeviceLink* announced_ = nullptr;
  int starts_ = 0;
  int stops_ = 0;
};
