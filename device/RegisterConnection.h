// The program's one register connection: the transport chosen on the command
// line (USB, a serial line or the built-in demo register) and the protocol
// engine bound to it, started and stopped in the right order.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "DeviceTiming.h"
#include "RegisterTransfers.h"
#include "cDeviceProtocol.h"
#include "iCOMDriver.h"

struct RegisterChoice {
  enum class Kind { Usb, Demo, Serial };
  Kind kind = Kind::Usb;
  std::string device;              // serial line device path
  std::uint32_t baud = 115200;     // serial line baud rate
  std::optional<std::uint16_t> vendor, product;  // USB: only this device

  // "usb", "usb:VVVV:PPPP" (hexadecimal ids), "demo" or "serial:DEVICE[@BAUD]";
  // nullopt with the reason in error when the text is none of these.
  static std::optional<RegisterChoice> Parse(std::string_view text, std::string* error);
  std::string Describe() const;
};

inline constexpr const char* kRegisterOptionHelp =
    "--register usb|usb:VENDOR:PRODUCT|demo|serial:DEVICE[@BAUD]";

class RegisterConnection {
 public:
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

  TransactionFunction Transaction();
  iCOMDriver& Transport() { return *transport_; }
  cDeviceProtocol& Engine() { return engine_; }
  const RegisterChoice& Choice() const { return choice_; }

 private:
  RegisterChoice choice_;
  std::unique_ptr<iCOMDriver> transport_;
  cDeviceProtocol engine_;
  bool started_ = false;
};
