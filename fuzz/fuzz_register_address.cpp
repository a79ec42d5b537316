// --register addresses through the transport registry: every address that is
// accepted writes itself back as a text that parses to the same text, and a
// refused one says why. No transport is made, so nothing connects.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "device/transport/TransportRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const auto address = transports::Parse(text, &error);
  if (!address) {
    if (error.empty()) std::abort();
    return 0;
  }
  const std::string written = address->Text();
  const auto again = transports::Parse(written, &error);
  if (!again || again->Text() != written || again->Scheme() != address->Scheme()) std::abort();
  if (address->Describe().empty()) std::abort();
  return 0;
}
