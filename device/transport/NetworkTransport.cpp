#include "device/transport/NetworkTransport.h"

#include "device/transport/HostPort.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "data/CFormat.h"

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::max<long long>(left, 0));
}

std::string Reason(int error) {
  std::string text = std::strerror(error);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  return text;
}

// One attempt on one resolved address; the socket, or -1 with errno set.
// Acknowledged at once: a server that sends a reply in small pieces without
// TCP_NODELAY waits for each acknowledgement, which a delayed one turns into
// 40 ms per piece. The kernel clears the flag again, so it is set after every receive.
void AcknowledgeAtOnce(int socket) {
  const int on = 1;
  setsockopt(socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

int ConnectTo(const addrinfo& address, Clock::time_point deadline) {
  FileDescriptor socket(
      ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol));
  if (socket.get() < 0) return -1;
  if (connect(socket.get(), address.ai_addr, address.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) return -1;
    pollfd wait{socket.get(), POLLOUT, 0};
    int ready = 0;
    do {
      ready = poll(&wait, 1, MillisecondsLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
      errno = ETIMEDOUT;
      return -1;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (ready < 0 || getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return -1;
    if (error != 0) {
      errno = error;
      return -1;
    }
  }
  const int on = 1;
  setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(socket.get(), SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  AcknowledgeAtOnce(socket.get());
  // A server that vanished without closing is noticed within about half a minute.
  const int idle = 15, interval = 5, count = 3;
  setsockopt(socket.get(), IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(socket.get(), IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(socket.get(), IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  const int fd = dup(socket.get());
  return fd;
}

}  // namespace

std::string NetworkEndpoint::Text() const {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

NetworkTransport::NetworkTransport(NetworkEndpoint endpoint, std::uint32_t comPortBaud, const DeviceTiming& timing)
    : endpoint_(std::move(endpoint)), comPortBaud_(comPortBaud), timing_(timing) {}

NetworkTransport::~NetworkTransport() { Close(); }

std::shared_ptr<NetworkTransport::Connection> NetworkTransport::Current() const {
  std::lock_guard lock(mutex_);
  return connection_;
}

std::string NetworkTransport::Diagnostic() const {
  std::lock_guard lock(mutex_);
  return diagnostic_;
}

void NetworkTransport::Trace(RegisterTrace::Event event, const std::string& note) {
  if (RegisterTrace* trace = trace_.load()) trace->Record(event, {}, note);
}

void NetworkTransport::TraceNotes(Connection& connection) {
  if (trace_.load() == nullptr) return;
  std::vector<std::string> notes;
  {
    std::lock_guard lock(connection.codecMutex);
    notes = connection.codec.TakeNotes();
  }
  for (const std::string& note : notes) Trace(RegisterTrace::Event::Reset, "telnet: " + note);
}

bool NetworkTransport::Connect() {
  std::lock_guard connecting(connectMutex_);
  if (Current()) return true;  // another thread made it meanwhile
  const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.connectTimeoutMs);
  const auto fail = [this](const std::string& reason) {
    const std::string text = "cannot reach the register at " + endpoint_.Text() + ": " + reason;
    {
      std::lock_guard lock(mutex_);
      diagnostic_ = text;
    }
    reachable_ = false;
    Trace(RegisterTrace::Event::Departed, text);
    return false;
  };

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string port = std::to_string(endpoint_.port);
  if (const int error = getaddrinfo(endpoint_.host.c_str(), port.c_str(), &hints, &found); error != 0) {
    return fail(error == EAI_SYSTEM ? Reason(errno) : gai_strerror(error));
  }
  int fd = -1;
  int lastError = ETIMEDOUT;
  for (const addrinfo* address = found; address != nullptr && fd < 0; address = address->ai_next) {
    if (MillisecondsLeft(deadline) == 0) break;
    fd = ConnectTo(*address, deadline);
    if (fd < 0) lastError = errno;
  }
  freeaddrinfo(found);
  if (fd < 0) {
    return fail(lastError == ETIMEDOUT ? "no answer within " + std::to_string(timing_.connectTimeoutMs) + " ms"
                                       : Reason(lastError));
  }
  auto connection = std::make_shared<Connection>(fd);

  if (comPortBaud_ != 0) {
    // The serial line is set before the first exchange: the server's
    // confirmation of the baud rate is awaited.
    const auto opening = connection->codec.Opening(comPortBaud_);
    if (!SendAll(*connection, opening.data(), opening.size())) return fail(Reason(errno));
    while (!connection->codec.ConfirmedBaud()) {
      pollfd wait{fd, POLLIN, 0};
      if (poll(&wait, 1, MillisecondsLeft(deadline)) <= 0)
        return fail("the server did not set the serial line (no Telnet COM port option?)");
      std::uint8_t bytes[512];
      const ssize_t got = recv(fd, bytes, sizeof bytes, 0);
      if (got <= 0) return fail(got == 0 ? "the server closed the connection" : Reason(errno));
      std::vector<std::uint8_t> reply;
      connection->codec.Receive({bytes, static_cast<std::size_t>(got)}, connection->pending, reply);
      if (!reply.empty() && !SendAll(*connection, reply.data(), reply.size())) return fail(Reason(errno));
    }
    TraceNotes(*connection);
  }
  {
    std::lock_guard lock(mutex_);
    // A Close while connecting wins: nothing is left connected after it.
    if (!wanted_) return false;
    connection_ = std::move(connection);
    diagnostic_.clear();
  }
  reachable_ = true;
  Trace(RegisterTrace::Event::Arrived, "connected to " + endpoint_.Text());
  return true;
}

void NetworkTransport::Drop(const std::shared_ptr<Connection>& connection, const char* why) {
  {
    std::lock_guard lock(mutex_);
    if (connection_ != connection) return;
    connection_.reset();
  }
  Trace(RegisterTrace::Event::Departed, "disconnected from " + endpoint_.Text() + ": " + why);
}

bool NetworkTransport::SendAll(Connection& connection, const std::uint8_t* data, std::size_t length) {
  std::lock_guard lock(connection.sendMutex);
  const auto deadline = Clock::now() + std::chrono::milliseconds(timing_.usbTransferTimeoutMs);
  std::size_t sent = 0;
  while (sent < length) {
    const ssize_t written = send(connection.socket.get(), data + sent, length - sent, MSG_NOSIGNAL);
    if (written > 0) {
      sent += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (MillisecondsLeft(deadline) == 0) {
      errno = ETIMEDOUT;
      return false;
    }
    pollfd wait{connection.socket.get(), POLLOUT, 0};
    poll(&wait, 1, MillisecondsLeft(deadline));
  }
  return true;
}

bool NetworkTransport::Open(std::uint32_t /*portIndex*/) {
  wanted_ = true;
  return Connect();
}

void NetworkTransport::Close() {
  wanted_ = false;
  reachable_ = false;
  std::shared_ptr<Connection> closed;
  {
    std::lock_guard lock(mutex_);
    closed = std::move(connection_);
  }
  if (closed) Trace(RegisterTrace::Event::Departed, "disconnected from " + endpoint_.Text());
}

bool NetworkTransport::IsConnected() { return wanted_ && (reachable_ || Current() != nullptr); }

std::uint32_t NetworkTransport::GetLastStatus() { return status_.Last(); }

std::uint32_t NetworkTransport::Write(const std::uint8_t* data, std::uint32_t length) {
  auto connection = Current();
  if (!connection && wanted_ && Connect()) connection = Current();
  if (!connection) {
    status_.RecordWrite(kStatusUnreachable);
    return 0;
  }
  const bool sent = comPortBaud_ == 0 ? SendAll(*connection, data, length) : [&] {
    const auto escaped = TelnetCodec::Escape({data, length});
    return SendAll(*connection, escaped.data(), escaped.size());
  }();
  if (!sent) {
    const int error = errno;
    status_.RecordWrite(error == ETIMEDOUT ? kStatusWriteTimeout : kStatusConnectionLost);
    if (error != ETIMEDOUT) Drop(connection, "the connection broke while sending");
    return 0;
  }
  status_.RecordWrite(0);
  return length;
}

std::uint32_t NetworkTransport::Read(std::uint8_t* buffer, std::uint32_t capacity) {
  if (buffer == nullptr || capacity == 0) return 0;
  const auto connection = Current();
  if (!connection) {
    // Nothing to wait on: the wait stands for the read time-out, without spinning.
    if (wanted_)
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(timing_.lineReadTimeoutMs, 50)));
    return 0;
  }
  const auto takePending = [&]() -> std::uint32_t {
    std::lock_guard lock(connection->codecMutex);
    const auto count = static_cast<std::uint32_t>(std::min<std::size_t>(connection->pending.size(), capacity));
    std::copy_n(connection->pending.begin(), count, buffer);
    connection->pending.erase(connection->pending.begin(), connection->pending.begin() + count);
    return count;
  };
  if (const std::uint32_t waiting = takePending()) {
    status_.RecordRead(0);
    return waiting;
  }
  pollfd wait{connection->socket.get(), POLLIN, 0};
  if (poll(&wait, 1, static_cast<int>(timing_.lineReadTimeoutMs)) <= 0) {
    status_.RecordRead(0);
    return 0;
  }
  if (comPortBaud_ == 0) {
    const ssize_t got = recv(connection->socket.get(), buffer, capacity, MSG_DONTWAIT);
    AcknowledgeAtOnce(connection->socket.get());
    if (got > 0) {
      status_.RecordRead(0);
      return static_cast<std::uint32_t>(got);
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  } else {
    std::uint8_t bytes[512];
    const ssize_t got = recv(connection->socket.get(), bytes, sizeof bytes, MSG_DONTWAIT);
    AcknowledgeAtOnce(connection->socket.get());
    if (got > 0) {
      std::vector<std::uint8_t> reply;
      {
        std::lock_guard lock(connection->codecMutex);
        connection->codec.Receive({bytes, static_cast<std::size_t>(got)}, connection->pending, reply);
      }
      if (!reply.empty()) SendAll(*connection, reply.data(), reply.size());
      TraceNotes(*connection);
      status_.RecordRead(0);
      return takePending();
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  }
  // The server closed the connection or it broke: one attempt to connect
  // again tells a restarting server from one that is gone.
  status_.RecordRead(kStatusConnectionLost);
  Drop(connection, "the server closed the connection");
  if (wanted_) Connect();
  return 0;
}

void NetworkTransport::Reset() {
  if (!wanted_) return;
  const auto connection = Current();
  if (!connection) {
    if (!reachable_) return;
    Trace(RegisterTrace::Event::Reset, "connecting again");
    Connect();
    return;
  }
  // What is still on its way belongs to requests given up: discarded, as a
  // serial line's buffers are. Telnet commands among it are still answered.
  std::uint8_t bytes[512];
  ssize_t got = 0;
  while ((got = recv(connection->socket.get(), bytes, sizeof bytes, MSG_DONTWAIT)) > 0) {
    if (comPortBaud_ == 0) continue;
    std::vector<std::uint8_t> data, reply;
    std::lock_guard lock(connection->codecMutex);
    connection->codec.Receive({bytes, static_cast<std::size_t>(got)}, data, reply);
    if (!reply.empty()) SendAll(*connection, reply.data(), reply.size());
  }
  {
    std::lock_guard lock(connection->codecMutex);
    connection->pending.clear();
  }
  Trace(RegisterTrace::Event::Reset, "discarded what arrived from " + endpoint_.Text());
}

namespace {

class NetworkAddress : public TransportAddress {
 public:
  NetworkAddress(NetworkEndpoint endpoint, std::uint32_t baud) : endpoint_(std::move(endpoint)), baud_(baud) {}

  std::string_view Scheme() const override { return baud_ == 0 ? "tcp" : "rfc2217"; }
  std::string Text() const override {
    if (baud_ == 0) return "tcp:" + endpoint_.Text();
    return "rfc2217:" + endpoint_.Text() +
           (baud_ == NetworkTransport::kDefaultComPortBaud ? std::string() : "@" + std::to_string(baud_));
  }
  std::string Describe() const override {
    if (baud_ == 0) return "the register at " + endpoint_.Text();
    return "the register at " + endpoint_.Text() + " (serial line at " + std::to_string(baud_) + " baud)";
  }
  std::unique_ptr<iCOMDriver> MakeTransport(const DeviceTiming& timing) const override {
    return std::make_unique<NetworkTransport>(endpoint_, baud_, timing);
  }

 private:
  NetworkEndpoint endpoint_;
  std::uint32_t baud_;
};

bool HostNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

// HOST:PORT with HOST a name, an IPv4 address or an IPv6 address in brackets.
std::optional<NetworkEndpoint> ParseEndpoint(std::string_view text, const char* example, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<NetworkEndpoint> {
    if (error) *error = why + ", as in " + example;
    return std::nullopt;
  };
  const HostPort split = SplitHostPort(text);
  switch (split.problem) {
    case HostPort::Problem::None: break;
    case HostPort::Problem::UnclosedBracket: return fail("an IPv6 address needs its closing bracket");
    case HostPort::Problem::NotIpv6: return fail("\"" + split.host + "\" in brackets is not an IPv6 address");
    case HostPort::Problem::NoPort:
      return fail(split.bracketed ? "name the port after the address" : "name the port after the host");
    case HostPort::Problem::EmptyHost:
      return fail(split.bracketed ? "\"\" in brackets is not an IPv6 address" : "name the host");
    case HostPort::Problem::Ipv6WithoutBrackets: return fail("put an IPv6 address in brackets");
  }
  if (!split.bracketed &&
      (split.host.size() > 253 || !std::all_of(split.host.begin(), split.host.end(), HostNameCharacter)))
    return fail("\"" + split.host + "\" is not a host name or an IPv4 address");
  const std::optional<std::uint16_t> port = ReadPort(split.port, false);
  if (!port) return fail("the port must be a number from 1 to 65535");
  return NetworkEndpoint{split.host, *port};
}

std::shared_ptr<const TransportAddress> ParseTcp(std::string_view text, std::string* error) {
  const auto endpoint = ParseEndpoint(text.substr(text.find(':') + 1), "tcp:10.0.0.21:4001 or tcp:[::1]:4001", error);
  if (!endpoint) return nullptr;
  return std::make_shared<NetworkAddress>(*endpoint, 0);
}

std::shared_ptr<const TransportAddress> ParseComPort(std::string_view text, std::string* error) {
  std::string_view rest = text.substr(text.find(':') + 1);
  std::uint32_t baud = NetworkTransport::kDefaultComPortBaud;
  if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
    const std::string_view digits = rest.substr(at + 1);
    std::uint32_t value = 0;
    const auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || err != std::errc() || end != digits.data() + digits.size() || value == 0) {
      if (error) *error = "the baud rate after @ must be a number, as in rfc2217:10.0.0.21:4001@19200";
      return nullptr;
    }
    baud = value;
    rest = rest.substr(0, at);
  }
  const auto endpoint = ParseEndpoint(rest, "rfc2217:10.0.0.21:4001@9600", error);
  if (!endpoint) return nullptr;
  return std::make_shared<NetworkAddress>(*endpoint, baud);
}

}  // namespace

const TransportScheme NetworkTransport::kTcpScheme = {"tcp", "tcp:HOST:PORT", true, ParseTcp};
const TransportScheme NetworkTransport::kComPortScheme = {"rfc2217", "rfc2217:HOST:PORT[@BAUD]", true, ParseComPort};
