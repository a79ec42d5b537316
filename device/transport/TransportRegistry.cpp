#include "device/transport/TransportRegistry.h"

#include <array>

#include "device/transport/DemoRegister.h"
#include "device/transport/NetworkTransport.h"
#include "device/transport/SerialLineTransport.h"
#include "device/transport/cICLWDUDriver.h"

namespace {

// One line a form of address; the order is the order of the help.
constexpr std::array<const TransportScheme*, 6> kSchemes = {
    &cICLWDUDriver::kAnyScheme,    &cICLWDUDriver::kDeviceScheme, &DemoRegister::kScheme,
    &SerialLineTransport::kScheme, &NetworkTransport::kTcpScheme, &NetworkTransport::kComPortScheme,
};

}  // namespace

bool TransportScheme::Matches(std::string_view text) const {
  const std::string_view bare(name);
  if (!takesArgument) return text == bare;
  return text.size() > bare.size() && text.starts_with(bare) && text[bare.size()] == ':';
}

namespace transports {

std::span<const TransportScheme* const> Schemes() { return kSchemes; }

std::string Forms() {
  std::string forms;
  for (const TransportScheme* scheme : kSchemes) forms += (forms.empty() ? "" : "|") + std::string(scheme->form);
  return forms;
}

std::shared_ptr<const TransportAddress> Parse(std::string_view text, std::string* error) {
  for (const TransportScheme* scheme : kSchemes) {
    if (scheme->Matches(text)) return scheme->parse(text, error);
  }
  if (error) *error = "unknown register connection \"" + std::string(text) + "\"; use --register " + Forms();
  return nullptr;
}

std::shared_ptr<const TransportAddress> Default() {
  static const std::shared_ptr<const TransportAddress> usb = Parse("usb", nullptr);
  return usb;
}

}  // namespace transports
