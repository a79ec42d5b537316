// A register reached over the network: the protocol's bytes over a TCP
// connection, raw (a serial device server in raw mode, a register's own
// network port) or through Telnet with the COM port control option, which
// also sets the server's serial line. A connection that breaks is made again
// on the next write or reset, so the protocol's resends carry a transfer on.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device/DeviceTiming.h"
#include "device/RegisterTrace.h"
#include "device/transport/FileDescriptor.h"
#include "device/transport/TelnetCodec.h"
#include "device/transport/TransferStatus.h"
#include "device/transport/TransportRegistry.h"
#include "device/transport/iCOMDriver.h"

// Where a network register is: HOST as written (a name, IPv4 or IPv6 without brackets) and PORT.
struct NetworkEndpoint {
  std::string host;
  std::uint16_t port = 0;
  // "10.0.0.21:4001", "[::1]:4001"
  std::string Text() const;
};

class NetworkTransport : public iCOMDriver {
 public:
  static constexpr std::uint32_t kStatusUnreachable = 0x3000;
  static constexpr std::uint32_t kStatusConnectionLost = 0x3001;
  static constexpr std::uint32_t kStatusWriteTimeout = 0x3002;
  static constexpr std::uint32_t kDefaultComPortBaud = 9600;
  // --register tcp:HOST:PORT
  static const TransportScheme kTcpScheme;
  // --register rfc2217:HOST:PORT[@BAUD]
  static const TransportScheme kComPortScheme;

  // comPortBaud 0: a raw stream; otherwise Telnet with the COM port option at that rate.
  NetworkTransport(NetworkEndpoint endpoint, std::uint32_t comPortBaud, const DeviceTiming& timing = {});
  ~NetworkTransport() override;

  bool Open(std::uint32_t portIndex) override;
  void Close() override;
  // Connects first when the connection broke.
  std::uint32_t Write(const std::uint8_t* data, std::uint32_t length) override;
  // Waits at most lineReadTimeoutMs for bytes.
  std::uint32_t Read(std::uint8_t* buffer, std::uint32_t capacity) override;
  std::uint32_t GetLastStatus() override;
  // Discards what arrived; connects again when the connection broke (not
  // after a failed attempt: the next Write tries, so an unreachable server
  // costs one connect time limit per write).
  void Reset() override;
  // True while connected, and after a break until a new attempt fails.
  bool IsConnected() override;
  void SetTrace(RegisterTrace* trace) override { trace_ = trace; }
  std::string Diagnostic() const override;

 private:
  struct Connection {
    explicit Connection(int fd) : socket(fd) {}
    FileDescriptor socket;
    std::mutex codecMutex;  // the receiver decodes while a writer may answer the server
    std::mutex sendMutex;   // a Telnet answer never lands inside a frame
    TelnetCodec codec;
    std::vector<std::uint8_t> pending;  // register bytes decoded but not yet read
  };
  bool Connect();
  void Drop(const std::shared_ptr<Connection>& connection, const char* why);
  std::shared_ptr<Connection> Current() const;
  bool SendAll(Connection& connection, const std::uint8_t* data, std::size_t length);
  void Trace(RegisterTrace::Event event, const std::string& note);
  void TraceNotes(Connection& connection);

  const NetworkEndpoint endpoint_;
  const std::uint32_t comPortBaud_;
  const DeviceTiming timing_;
  TransferStatus status_;
  std::atomic<bool> wanted_{false};
  std::atomic<bool> reachable_{false};  // no attempt to connect has failed since the last success
  std::mutex connectMutex_;
  mutable std::mutex mutex_;
  std::shared_ptr<Connection> connection_;
  std::string diagnostic_;
  std::atomic<RegisterTrace*> trace_{nullptr};
};
