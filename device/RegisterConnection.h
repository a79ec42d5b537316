// The program's one register connection: the transport chosen on the command
// line (USB, a serial line or the built-in demo register) and the protocol
// engine bound to it, started and stopped in the right order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/DeviceTiming.h"
#include "device/RegisterTrace.h"
#include "device/RegisterTransfers.h"
#include "device/cDeviceProtocol.h"
#include "device/iCOMDriver.h"

struct RegisterChoice {
  enum class Kind { Usb, Demo, Serial };
  Kind kind = Kind::Usb;
  std::string device;                            // serial line device path
  std::uint32_t baud = 115200;                   // serial line baud rate
  std::optional<std::uint16_t> vendor, product;  // USB: only this device
  std::string tracePath;                         // --trace FILE: the link's events go there

  // "usb", "usb:VVVV:PPPP" (hexadecimal ids), "demo" or "serial:DEVICE[@BAUD]";
  // nullopt with the reason in error when the text is none of these.
  static std::optional<RegisterChoice> Parse(std::string_view text, std::string* error);
  std::string Describe() const;
  // The choice as --register takes it ("serial:/dev/ttyUSB0"), for messages
  // that name the register the operator asked for.
  std::string Address() const;
};

inline constexpr const char* kRegisterOptionHelp = "--register usb|usb:VENDOR:PRODUCT|demo|serial:DEVICE[@BAUD]";
inline constexpr const char* kTraceOptionHelp =
    "--trace FILE            add a line for every frame, NAK, SYN, time-out, reset and\n"
    "                          arrival or departure of the register to FILE (for a technician)";

class RegisterConnection {
 public:
  // Starts the trace the choice names; TraceProblem says when it could not.
  explicit RegisterConnection(const RegisterChoice& choice, const DeviceTiming& timing = {});
  // Stops the engine before the transport closes.
  ~RegisterConnection();
  RegisterConnection(const RegisterConnection&) = delete;
  RegisterConnection& operator=(const RegisterConnection&) = delete;

  // Opens the transport and starts the engine's receiver; true when a register
  // is attached at this moment.
  bool Start();
  void Stop();

  bool IsConnected() { return transport_->IsConnected(); }
  // What the operator should know about the connection (a USB register found
  // but not accessible, for instance); empty when there is nothing to say.
  std::string Diagnostic() const;

  // Appends every event of the link to the file at path from now on; false,
  // with the reason in error and no trace, when the file cannot be written.
  bool TraceTo(const std::string& path, std::string* error);
  // Why the trace named in the choice is not running; empty when it is or none was asked for.
  const std::string& TraceProblem() const { return traceProblem_; }
  RegisterTrace* Trace() { return trace_.get(); }

  TransactionFunction Transaction();
  iCOMDriver& Transport() { return *transport_; }
  cDeviceProtocol& Engine() { return engine_; }
  const RegisterChoice& Choice() const { return choice_; }

 private:
  RegisterChoice choice_;
  // Declared first: it outlives the engine and the transport that report to it.
  std::unique_ptr<RegisterTrace> trace_;
  std::string traceProblem_;
  std::unique_ptr<iCOMDriver> transport_;
  cDeviceProtocol engine_;
  bool started_ = false;
};
