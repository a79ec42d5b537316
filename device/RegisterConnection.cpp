#include "device/RegisterConnection.h"

#include <charconv>
#include <cstdio>

#include "device/LibusbBackend.h"
#include "device/cDemoRegister.h"
#include "device/cICLWDUDriver.h"
#include "device/cSerialLineDriver.h"

namespace {

std::optional<std::uint16_t> HexId(std::string_view text) {
  std::uint16_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<RegisterChoice> RegisterChoice::Parse(std::string_view text, std::string* error) {
  const auto fail = [&](std::string why) -> std::optional<RegisterChoice> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  RegisterChoice choice;
  if (text == "usb") return choice;
  if (text == "demo") {
    choice.kind = Kind::Demo;
    return choice;
  }
  if (text.starts_with("usb:")) {
    const std::string_view ids = text.substr(4);
    const std::size_t colon = ids.find(':');
    if (colon == std::string_view::npos) return fail("a USB register is given as usb:VENDOR:PRODUCT in hexadecimal");
    choice.vendor = HexId(ids.substr(0, colon));
    choice.product = HexId(ids.substr(colon + 1));
    if (!choice.vendor || !choice.product) return fail("a USB register is given as usb:VENDOR:PRODUCT in hexadecimal");
    return choice;
  }
  if (text.starts_with("serial:")) {
    choice.kind = Kind::Serial;
    std::string_view rest = text.substr(7);
    const std::size_t at = rest.rfind('@');
    if (at != std::string_view::npos) {
      const std::string_view baud = rest.substr(at + 1);
      std::uint32_t value = 0;
      const auto [end, err] = std::from_chars(baud.data(), baud.data() + baud.size(), value);
      if (err != std::errc() || end != baud.data() + baud.size() || value == 0) {
        return fail("the baud rate after @ must be a number, as in serial:/dev/ttyACM0@115200");
      }
      choice.baud = value;
      rest = rest.substr(0, at);
    }
    if (rest.empty()) return fail("name the serial device, as in serial:/dev/ttyACM0");
    choice.device = std::string(rest);
    return choice;
  }
  return fail("unknown register connection \"" + std::string(text) + "\"; use " + kRegisterOptionHelp);
}

std::string RegisterChoice::Describe() const {
  switch (kind) {
    case Kind::Demo: return "the built-in demo register";
    case Kind::Serial: return "the register on " + device + " at " + std::to_string(baud) + " baud";
    case Kind::Usb: break;
  }
  return "the USB register";
}

std::string RegisterChoice::Address() const {
  switch (kind) {
    case Kind::Demo: return "demo";
    case Kind::Serial:
      return "serial:" + device + (baud == RegisterChoice{}.baud ? std::string() : "@" + std::to_string(baud));
    case Kind::Usb: break;
  }
  if (!vendor || !product) return "usb";
  char ids[16];
  std::snprintf(ids, sizeof ids, ":%04x:%04x", *vendor, *product);
  return "usb" + std::string(ids);
}

RegisterConnection::RegisterConnection(const RegisterChoice& choice, const DeviceTiming& timing)
    : choice_(choice), engine_(timing) {
  switch (choice.kind) {
    case RegisterChoice::Kind::Demo: {
      cDemoRegister::Options options;
      options.timing = timing;
      transport_ = std::make_unique<cDemoRegister>(options);
      break;
    }
    case RegisterChoice::Kind::Serial:
      transport_ = std::make_unique<cSerialLineDriver>(choice.device, choice.baud, timing);
      break;
    case RegisterChoice::Kind::Usb: {
      std::optional<LibusbBackend::VendorProduct> only;
      if (choice.vendor && choice.product) only = LibusbBackend::VendorProduct{*choice.vendor, *choice.product};
      transport_ = std::make_unique<cICLWDUDriver>(
          std::make_unique<LibusbBackend>(only, std::chrono::milliseconds(timing.usbClaimRetryMs)), timing);
      break;
    }
  }
  if (!choice.tracePath.empty()) TraceTo(choice.tracePath, &traceProblem_);
}

bool RegisterConnection::TraceTo(const std::string& path, std::string* error) {
  auto trace = RegisterTrace::Open(path, error);
  if (!trace) return false;
  engine_.SetTrace(nullptr);
  transport_->SetTrace(nullptr);
  trace_ = std::move(trace);
  std::string state = choice_.Describe() + (transport_->IsConnected() ? ", attached" : ", not attached");
  if (const std::string diagnostic = Diagnostic(); !diagnostic.empty()) state += " (" + diagnostic + ")";
  trace_->Record(RegisterTrace::Event::Started, {}, state);
  engine_.SetTrace(trace_.get());
  transport_->SetTrace(trace_.get());
  return true;
}

RegisterConnection::~RegisterConnection() {
  Stop();
  transport_->Close();
}

bool RegisterConnection::Start() {
  started_ = true;
  return engine_.Start(transport_.get());
}

void RegisterConnection::Stop() {
  if (started_) engine_.Stop();
  started_ = false;
}

std::string RegisterConnection::Diagnostic() const {
  std::string text;
  if (auto* usb = dynamic_cast<const cICLWDUDriver*>(transport_.get())) text = usb->Diagnostic();
  if (auto* line = dynamic_cast<const cSerialLineDriver*>(transport_.get())) text = line->Diagnostic();
  if (!traceProblem_.empty()) text += (text.empty() ? "" : "\n") + traceProblem_;
  return text;
}

TransactionFunction RegisterConnection::Transaction() {
  return [this](std::uint16_t command, const std::string& request, std::string& reply) {
    return engine_.DeviceTransaction(command, request, reply);
  };
}
