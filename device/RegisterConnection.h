// The program's one register connection: the transport chosen on the command
// line (any entry of the transport registry) and the protocol
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
#include "device/transport/TransportRegistry.h"
#include "device/transport/iCOMDriver.h"

struct RegisterChoice {
  // Which register and through which transport; the first USB register when
  // --register named none.
  std::shared_ptr<const TransportAddress> address = transports::Default();
  std::string tracePath;  // --trace FILE: the link's events go there

  // Any address of the transport registry ("usb", "demo", "serial:/dev/ttyACM0@9600", ...);
  // nullopt with the reason in error when no transport takes the text.
  static std::optional<RegisterChoice> Parse(std::string_view text, std::string* error);
  // The transport's entry name: "usb", "serial", "demo".
  std::string_view Scheme() const { return address->Scheme(); }
  std::string Describe() const { return address->Describe(); }
  // The choice as --register takes it ("serial:/dev/ttyUSB0"), for messages
  // that name the register the operator asked for.
  std::string Address() const { return address->Text(); }
};

// "--register usb|usb:VENDOR:PRODUCT|demo|serial:DEVICE[@BAUD]|tcp:HOST:PORT|rfc2217:HOST:PORT[@BAUD]",
// from the transport registry.
std::string RegisterOptionHelp();

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
