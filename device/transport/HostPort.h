// HOST:PORT as the network transports and the demo register's server read it:
// HOST a name, an IPv4 address or an IPv6 address in brackets. One reading, so
// a form one of them takes is never refused by the other; each tells its own
// refusals from the problem found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct HostPort {
  enum class Problem { None, UnclosedBracket, NotIpv6, NoPort, EmptyHost, Ipv6WithoutBrackets };
  std::string host;
  std::string_view port;  // the text after the colon, not yet read
  bool bracketed = false;
  Problem problem = Problem::None;
};

// The host and the port text; problem names the first thing wrong with the host
// part. An empty host in brackets is EmptyHost.
HostPort SplitHostPort(std::string_view text);

// The port number, or nothing for text that is no number in range; 0 only where
// allowZero (a listener that asks for any free port).
std::optional<std::uint16_t> ReadPort(std::string_view text, bool allowZero);
