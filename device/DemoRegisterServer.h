// The demo register on a TCP port, so that a network setup, a second PC or a
// fleet of registers can be tried without hardware. The bytes are the register
// protocol as it is: what the client sends goes into the register's Write, what
// its Read gives goes back. One client at a time; a second connection waits in
// the listen queue until the first one closes.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class DemoRegister;
class iCOMDriver;

// HOST:PORT where HOST is a name, an IPv4 address or [IPv6] and PORT 0 to 65535
// (0: the system picks a free one).
struct ListenAddress {
  std::string host;  // without brackets
  std::uint16_t port = 0;
};
std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string* error);

// Gives the demo register count articles: the first of its sample in PLU order,
// and beyond the sample copies of it under the lowest free PLUs (without
// barcodes, which a register keeps unique). count is at most DemoRegister::kMaxPlu.
void SizeDemoSample(DemoRegister& demo, std::uint32_t count);

// How long a wait on a socket lasts before the server's loops look at the stop
// flag again; the register's own Read time-out bounds the other direction.
struct DemoServerTiming {
  std::uint32_t pollMs = 100;
};

class DemoRegisterServer {
 public:
  using Timing = DemoServerTiming;

  explicit DemoRegisterServer(iCOMDriver& reg, Timing timing = {}) : register_(reg), timing_(timing) {}
  ~DemoRegisterServer();
  DemoRegisterServer(const DemoRegisterServer&) = delete;
  DemoRegisterServer& operator=(const DemoRegisterServer&) = delete;

  // Binds and listens; false with the reason in error.
  bool Listen(const ListenAddress& address, std::string* error);
  // Where it listens, numerically: "127.0.0.1:4001", "[::1]:4001".
  std::string Address() const;
  std::uint16_t Port() const;

  // Serves one client after the other until stop is set; the register keeps its
  // tables from one client to the next, pending bytes are dropped between them.
  void Run(const std::atomic<bool>& stop);
  std::uint32_t ClientsServed() const { return clientsServed_; }

 private:
  void Serve(int client, const std::atomic<bool>& stop);

  iCOMDriver& register_;
  const Timing timing_;
  int listener_ = -1;
  std::string address_;
  std::uint16_t port_ = 0;
  std::atomic<std::uint32_t> clientsServed_{0};
};
