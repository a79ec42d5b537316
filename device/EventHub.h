// The lock and wake-up shared by a set of DeviceEvents, so that one thread can
// wait for whichever of several events is set first.
#pragma once

#include <condition_variable>
#include <mutex>

class EventHub {
 public:
  std::mutex mutex;
  std::condition_variable changed;
};
