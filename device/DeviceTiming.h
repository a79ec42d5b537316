// Every waiting time of the register link in one place. The defaults are the
// product's values; tests shrink them so that retries run in milliseconds.
#pragma once

#include <cstdint>

struct DeviceTiming {
  // Protocol engine.
  std::uint32_t replyWaitMs = 3000;  // silence after which a request is sent again
  std::uint32_t exchangeLockWaitMs = 10000;
  std::uint32_t writeRetryPauseMs = 200;  // after a failed write and transport reset
  std::uint32_t afterFramePauseMs = 50;   // after every frame sent
  std::uint32_t noDevicePollMs = 5;       // receiver's poll while no register is attached
  std::uint32_t stopPollMs = 10;          // Stop's poll for the receiver to end
  std::uint32_t startPauseMs = 1;         // after the receiver thread is started

  // USB transport.
  std::uint32_t usbTransferTimeoutMs = 3000;
  std::uint32_t attachPollMs = 10;      // after a device reset, poll for the re-attach ...
  std::uint32_t attachPollCount = 500;  // ... at most this many times
  std::uint32_t resetSettleMs = 1000;   // then let the register settle
  // A register whose interface another handle holds is tried again this long.
  std::uint32_t usbClaimRetryMs = 3000;

  // Serial port of the settings dialog.
  std::uint32_t serialDrainTimeoutMs = 300;

  // Serial-line transport and demo register: how long one Read waits for bytes.
  // 21 empty reads end a reply wait in the engine; at 500 ms they take 10.5 s,
  // longer than the three 3000 ms silences after which an exchange gives up, so
  // silence is handled by the silence rule, as it is on USB, where one empty
  // Read lasts three transfer time-outs.
  std::uint32_t lineReadTimeoutMs = 500;

  // Network transports: how long one connection attempt may take.
  std::uint32_t connectTimeoutMs = 5000;
};
