// Waiting times for tests: retries and silences in milliseconds instead of
// seconds, yet generous beside answers that come at once, so that a loaded
// machine does not turn an answer into a silence.
#pragma once

#include "device/DeviceTiming.h"

inline DeviceTiming FastTiming() {
  DeviceTiming timing;
  timing.replyWaitMs = 150;
  timing.exchangeLockWaitMs = 100;
  timing.writeRetryPauseMs = 1;
  timing.afterFramePauseMs = 0;
  timing.noDevicePollMs = 1;
  timing.stopPollMs = 1;
  timing.startPauseMs = 0;
  // 21 empty reads must outlast one silence period, as they do with the real
  // values, so that silence is handled by the silence rule.
  timing.lineReadTimeoutMs = 10;
  return timing;
}
