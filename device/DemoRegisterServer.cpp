#include "device/DemoRegisterServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "data/Records.h"
#include "device/transport/DemoRegister.h"
#include "device/transport/HostPort.h"
#include "device/transport/iCOMDriver.h"

namespace {

const char* const kListenForms = "HOST:PORT (a name, an IPv4 address or [IPv6], and a port from 0 to 65535)";

// Waits at most ms for events on fd; true when one came.
bool Wait(int fd, short events, std::uint32_t ms) {
  pollfd entry{fd, events, 0};
  const int ready = ::poll(&entry, 1, static_cast<int>(ms));
  return ready > 0;
}

}  // namespace

std::optional<ListenAddress> ParseListenAddress(std::string_view text, std::string* error) {
  const auto fail = [&](const std::string& why) -> std::optional<ListenAddress> {
    if (error) *error = "--listen " + std::string(text) + ": " + why + "; expected " + kListenForms;
    return std::nullopt;
  };
  const HostPort split = SplitHostPort(text);
  switch (split.problem) {
    case HostPort::Problem::None: break;
    case HostPort::Problem::UnclosedBracket: return fail("the [ of the IPv6 address is not closed");
    case HostPort::Problem::NotIpv6: return fail("not an IPv6 address between [ ]");
    case HostPort::Problem::NoPort: return fail("the port is missing");
    case HostPort::Problem::EmptyHost: return fail("the host is empty");
    case HostPort::Problem::Ipv6WithoutBrackets: return fail("an IPv6 address goes between [ ]");
  }
  const std::optional<std::uint16_t> port = ReadPort(split.port, true);
  if (!port) return fail("the port is not a number from 0 to 65535");
  ListenAddress address;
  address.host = split.host;
  address.port = *port;
  return address;
}

void SizeDemoSample(DemoRegister& demo, std::uint32_t count) {
  std::vector<ArticleRecord> sample;
  for (std::uint32_t plu = 1; plu <= DemoRegister::kMaxPlu && sample.size() < demo.ArticleCount(); ++plu) {
    if (auto article = demo.Article(plu)) sample.push_back(*article);
  }
  demo.RemoveAllArticles();
  std::set<std::uint32_t> used;
  for (std::size_t k = 0; k < sample.size() && k < count; ++k) {
    demo.PutArticle(sample[k]);
    used.insert(sample[k].PLUNO);
  }
  std::uint32_t nextPlu = 1;
  for (std::size_t k = sample.size(); k < count && !sample.empty(); ++k) {
    while (used.contains(nextPlu)) ++nextPlu;
    if (nextPlu > DemoRegister::kMaxPlu) break;
    ArticleRecord copy = sample[k % sample.size()];
    copy.PLUNO = nextPlu;
    copy.BARCODE = 0;
    demo.PutArticle(copy);
    used.insert(nextPlu);
  }
}

DemoRegisterServer::~DemoRegisterServer() {
  if (listener_ >= 0) ::close(listener_);
}

bool DemoRegisterServer::Listen(const ListenAddress& address, std::string* error) {
  const std::string shown = (address.host.find(':') != std::string::npos ? "[" + address.host + "]" : address.host) +
                            ":" + std::to_string(address.port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(address.port);
  if (const int failed = ::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found); failed != 0) {
    if (error) *error = "cannot listen on " + shown + ": " + ::gai_strerror(failed);
    return false;
  }
  int lastErrno = 0;
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    const int fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
    if (fd < 0) {
      lastErrno = errno;
      continue;
    }
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // A few clients wait here while one is served.
    if (::bind(fd, entry->ai_addr, entry->ai_addrlen) == 0 && ::listen(fd, 8) == 0) {
      listener_ = fd;
      break;
    }
    lastErrno = errno;
    ::close(fd);
  }
  ::freeaddrinfo(found);
  if (listener_ < 0) {
    if (error) *error = "cannot listen on " + shown + ": " + std::strerror(lastErrno);
    return false;
  }
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&bound), &length);
  char host[NI_MAXHOST] = {};
  char port[NI_MAXSERV] = {};
  ::getnameinfo(reinterpret_cast<sockaddr*>(&bound), length, host, sizeof host, port, sizeof port,
                NI_NUMERICHOST | NI_NUMERICSERV);
  port_ = static_cast<std::uint16_t>(std::stoul(port));  // a port number the system gave
  address_ = (bound.ss_family == AF_INET6 ? "[" + std::string(host) + "]" : std::string(host)) + ":" + port;
  return true;
}

std::string DemoRegisterServer::Address() const { return address_; }

std::uint16_t DemoRegisterServer::Port() const { return port_; }

void DemoRegisterServer::Run(const std::atomic<bool>& stop) {
  if (listener_ < 0) return;
  while (!stop) {
    if (!Wait(listener_, POLLIN, timing_.pollMs)) continue;
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;  // the client gave up before it was taken
    // Frames are small and wait on each other: send each piece at once.
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    Serve(client, stop);
    ::close(client);
    ++clientsServed_;
  }
}

void DemoRegisterServer::Serve(int client, const std::atomic<bool>& stop) {
  // The next client starts with a register that owes nobody a reply.
  register_.Reset();
  std::atomic<bool> gone{false};
  // Register to client on a thread of its own, so that a reply goes out as soon
  // as the register has it, however the client's side is doing.
  std::thread replies([&] {
    std::uint8_t buffer[256];
    while (!stop && !gone) {
      const std::uint32_t count = register_.Read(buffer, sizeof buffer);
      std::uint32_t sent = 0;
      while (sent < count && !stop && !gone) {
        if (!Wait(client, POLLOUT, timing_.pollMs)) continue;
        const ssize_t n = ::send(client, buffer + sent, count - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) {
          gone = true;
          break;
        }
        sent += static_cast<std::uint32_t>(n);  // n is positive and at most count - sent
      }
    }
  });
  std::uint8_t buffer[512];
  while (!stop && !gone) {
    if (!Wait(client, POLLIN, timing_.pollMs)) continue;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      gone = true;
      break;
    }
    register_.Write(buffer, static_cast<std::uint32_t>(n));  // n is positive and at most the buffer's size
  }
  replies.join();
  register_.Reset();
}
