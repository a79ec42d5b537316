#include "device/transport/HostPort.h"

#include <arpa/inet.h>

#include <charconv>

HostPort SplitHostPort(std::string_view text) {
  HostPort result;
  const auto fail = [&](HostPort::Problem problem) {
    result.problem = problem;
    return result;
  };
  if (text.starts_with('[')) {
    result.bracketed = true;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos) return fail(HostPort::Problem::UnclosedBracket);
    result.host = std::string(text.substr(1, close - 1));
    if (result.host.empty()) return fail(HostPort::Problem::EmptyHost);
    in6_addr probe{};
    if (::inet_pton(AF_INET6, result.host.c_str(), &probe) != 1) return fail(HostPort::Problem::NotIpv6);
    if (close + 1 >= text.size() || text[close + 1] != ':') return fail(HostPort::Problem::NoPort);
    result.port = text.substr(close + 2);
    return result;
  }
  const std::size_t colon = text.rfind(':');
  if (colon == std::string_view::npos) return fail(HostPort::Problem::NoPort);
  result.host = std::string(text.substr(0, colon));
  result.port = text.substr(colon + 1);
  if (result.host.find(':') != std::string::npos) return fail(HostPort::Problem::Ipv6WithoutBrackets);
  if (result.host.empty()) return fail(HostPort::Problem::EmptyHost);
  return result;
}

std::optional<std::uint16_t> ReadPort(std::string_view text, bool allowZero) {
  unsigned value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value > 65535 || (value == 0 && !allowZero)) return std::nullopt;
  return static_cast<std::uint16_t>(value);  // in range, checked just above
}
