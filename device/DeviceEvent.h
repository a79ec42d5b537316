// A signalling event with manual or automatic reset, waited for with a time-out,
// alone or together with other events of the same hub (first set in order wins).
#pragma once

#include <chrono>
#include <initializer_list>

#include "device/EventHub.h"

class DeviceEvent {
 public:
  DeviceEvent(EventHub& hub, bool manualReset, bool initiallySet);
  DeviceEvent(const DeviceEvent&) = delete;
  DeviceEvent& operator=(const DeviceEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;

  // True when the event was set within the time-out; an auto-reset event is
  // cleared by the wait that takes it.
  bool Wait(std::chrono::milliseconds timeout);
  void WaitForever();

  // Index of the first event in the list that is set, or -1 after the time-out.
  // All events must share one hub.
  static int WaitAny(std::initializer_list<DeviceEvent*> events, std::chrono::milliseconds timeout);

 private:
  bool TakeLocked();

  EventHub& hub_;
  const bool manualReset_;
  bool set_;
};
