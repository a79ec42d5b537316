#include "device/DeviceEvent.h"

DeviceEvent::DeviceEvent(EventHub& hub, bool manualReset, bool initiallySet)
    : hub_(hub), manualReset_(manualReset), set_(initiallySet) {}

void DeviceEvent::Set() {
  {
    std::lock_guard lock(hub_.mutex);
    set_ = true;
  }
  hub_.changed.notify_all();
}

void DeviceEvent::Reset() {
  std::lock_guard lock(hub_.mutex);
  set_ = false;
}

bool DeviceEvent::IsSet() const {
  std::lock_guard lock(hub_.mutex);
  return set_;
}

bool DeviceEvent::TakeLocked() {
  if (!set_) return false;
  if (!manualReset_) set_ = false;
  return true;
}

bool DeviceEvent::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock lock(hub_.mutex);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!TakeLocked()) {
    if (hub_.changed.wait_until(lock, deadline) == std::cv_status::timeout) return TakeLocked();
  }
  return true;
}

void DeviceEvent::WaitForever() {
  std::unique_lock lock(hub_.mutex);
  hub_.changed.wait(lock, [this] { return TakeLocked(); });
}

int DeviceEvent::WaitAny(std::initializer_list<DeviceEvent*> events, std::chrono::milliseconds timeout) {
  if (events.size() == 0) return -1;
  EventHub& hub = (*events.begin())->hub_;
  std::unique_lock lock(hub.mutex);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto firstSet = [&events]() {
    int index = 0;
    for (DeviceEvent* event : events) {
      if (event->TakeLocked()) return index;
      ++index;
    }
    return -1;
  };
  for (;;) {
    const int index = firstSet();
    if (index >= 0) return index;
    if (hub.changed.wait_until(lock, deadline) == std::cv_status::timeout) return firstSet();
  }
}
