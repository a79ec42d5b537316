// A demo register on a loopback TCP port, one client at a time, for the
// network transports' tests. It can close a client's connection from its side
// after a number of request frames, as a server restart or a network break would.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "device/RegisterFrame.h"
#include "device/transport/DemoRegister.h"

class FlakyRegisterServer {
 public:
  explicit FlakyRegisterServer(DemoRegister& demo) : demo_(demo) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 && listen(listener_, 4) == 0 &&
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0)
      port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FlakyRegisterServer() { Stop(); }

  std::uint16_t Port() const { return port_; }
  // The client's connection is closed by the server once this many more request frames arrived.
  void DropAfter(int frames) { dropAfter_ = frames; }
  int Connections() const { return connections_; }
  // The register goes: the listener and any connection close.
  void Stop() {
    if (!running_.exchange(false)) return;
    thread_.join();
    close(listener_);
  }

 private:
  void Serve() {
    int client = -1;
    std::uint8_t buffer[512];
    while (running_) {
      pollfd wait[2] = {{listener_, POLLIN, 0}, {client, POLLIN, 0}};
      if (poll(wait, client >= 0 ? 2 : 1, 5) <= 0) continue;
      if (wait[0].revents & POLLIN) {
        const int fresh = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fresh >= 0) {
          if (client >= 0) close(client);  // the newer client wins, as a restarted client would
          client = fresh;
          ++connections_;
        }
        continue;
      }
      if (client < 0 || !(wait[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t got = read(client, buffer, sizeof buffer);
      if (got <= 0) {
        close(client);
        client = -1;
        continue;
      }
      for (ssize_t i = 0; i < got; ++i) {
        if (buffer[i] == RegisterFrame::kETX && dropAfter_ > 0 && --dropAfter_ == 0) {
          // Closed with the request unanswered: the client must send it again.
          close(client);
          client = -1;
          break;
        }
      }
      if (client < 0) continue;
      demo_.Write(buffer, static_cast<std::uint32_t>(got));
      while (const std::uint32_t answer = demo_.Read(buffer, sizeof buffer)) {
        if (write(client, buffer, answer) != static_cast<ssize_t>(answer)) break;
      }
    }
    if (client >= 0) close(client);
  }

  DemoRegister& demo_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::atomic<bool> running_{true};
  std::atomic<int> dropAfter_{0};
  std::atomic<int> connections_{0};
  std::thread thread_;
};
