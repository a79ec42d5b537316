// The byte transport between the protocol engine and the register. The engine
// sends and receives only through this interface, so it does not care how bytes travel.
#pragma once

#include <cstdint>
#include <string>

class RegisterTrace;

class iCOMDriver {
 public:
  virtual ~iCOMDriver() = default;

  // Makes the transport usable; true when a register is attached now.
  virtual bool Open(std::uint32_t portIndex) = 0;
  // Releases everything the transport holds.
  virtual void Close() = 0;
  // Sends a whole frame; the count sent is informative, GetLastStatus decides.
  virtual std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) = 0;
  // Blocks at most for the transport's own time-out; 0 when nothing arrived.
  // Never returns more than capacity.
  virtual std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) = 0;
  // 0 when the most recent Write or Read succeeded, else the transport's own code.
  virtual std::uint32_t GetLastStatus() = 0;
  // Brings the transport back after failures; may block for seconds.
  virtual void Reset() = 0;
  // Whether a register is attached now; cheap and never blocking.
  virtual bool IsConnected() = 0;
  // Where the transport reports its own events (resets, the register coming
  // and going); null for none. Not owned; set before the link is used.
  virtual void SetTrace(RegisterTrace* /*trace*/) {}
  // What the operator should know when no register is usable through this
  // transport (found but access denied, no such device); empty when nothing.
  virtual std::string Diagnostic() const { return {}; }
};
