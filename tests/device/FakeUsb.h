// A USB library played by the test: a register that can be plugged and
// unplugged, and whose transfers follow a script.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "UsbBackend.h"

class FakeUsbLink : public UsbDeviceLink {
 public:
  struct Step {
    int result = 0;
    int transferred = -1;  // -1: everything asked for
    std::vector<std::uint8_t> data;  // for reads
  };
  struct Call {
    std::uint8_t endpoint;
    std::vector<std::uint8_t> bytes;  // written bytes, or the length asked for reads
    int length;
  };

  // Called inside a transfer before it answers (to unplug mid-transfer, say).
  std::function<void()> during;

  void Script(std::uint8_t endpoint, std::vector<Step> steps) {
    std::lock_guard lock(mutex_);
    auto& queue = endpoint == 0x03 ? out_ : in_;
    queue.insert(queue.end(), steps.begin(), steps.end());
  }

  int BulkTransfer(std::uint8_t endpoint, std::uint8_t* data, int length, int& transferred, unsigned) override {
    std::function<void()> hook;
    Step step;
    {
      std::lock_guard lock(mutex_);
      auto& queue = endpoint == 0x03 ? out_ : in_;
      if (!queue.empty()) {
        step = queue.front();
        queue.pop_front();
      } else if (endpoint != 0x03) {
        step.result = -7;  // nothing to read: time-out
        step.transferred = 0;
      }
      Call call{endpoint, {}, length};
      if (endpoint == 0x03) call.bytes.assign(data, data + length);
      calls_.push_back(call);
      hook = during;
    }
    if (hook) hook();
    if (endpoint == 0x03) {
      transferred = step.transferred < 0 ? length : step.transferred;
    } else {
      const int count = std::min<int>(length, static_cast<int>(step.data.size()));
      std::copy_n(step.data.begin(), count, data);
      transferred = step.transferred < 0 ? count : step.transferred;
    }
    return step.result;
  }
  int ClearHalt(std::uint8_t endpoint) override {
    std::lock_guard lock(mutex_);
    halts_.push_back(endpoint);
    return 0;
  }
  int ResetDevice() override {
    std::lock_guard lock(mutex_);
    ++resets_;
    return 0;
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

 private:
  mutable std::mutex mutex_;
  std::deque<Step> out_;
  std::deque<Step> in_;
  std::vector<Call> calls_;
  std::vector<std::uint8_t> halts_;
  int resets_ = 0;
};

class FakeUsbBackend : public UsbBackend {
 public:
  // What Start answers, and whether a plugged register is announced on Start
  // (as the library announces registers already present).
  bool usable = true;
  bool reannounce = true;
  std::string problemOnStart;

  bool Start(Notices notices) override {
    std::shared_ptr<UsbDeviceLink> present;
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
    if (present && notices_.attached) notices_.attached(present);
    return true;
  }
  void Stop() override {
    std::lock_guard lock(mutex_);
    ++stops_;
    notices_ = {};
  }

  void Plug(std::shared_ptr<FakeUsbLink> link) {
    Notices notices;
    {
      std::lock_guard lock(mutex_);
      plugged_ = link;
      notices = notices_;
    }
    if (notices.attached) notices.attached(link);
  }
  void Unplug() {
    Notices notices;
    std::shared_ptr<UsbDeviceLink> gone;
    {
      std::lock_guard lock(mutex_);
      gone = std::move(plugged_);
      notices = notices_;
    }
    if (gone && notices.detached) notices.detached(gone.get());
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
  mutable std::mutex mutex_;
  Notices notices_;
  std::shared_ptr<UsbDeviceLink> plugged_;
  int starts_ = 0;
  int stops_ = 0;
};
