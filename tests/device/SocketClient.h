// A plain TCP client for tests of the demo register's server: connects, sends
// request frames and reads a reply frame up to its ETX.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/RegisterFrame.h"

class SocketClient {
 public:
  SocketClient(const std::string& ipv4, std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    ::inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) Close();
  }
  ~SocketClient() { Close(); }
  SocketClient(const SocketClient&) = delete;
  SocketClient& operator=(const SocketClient&) = delete;

  bool Connected() const { return fd_ >= 0; }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  bool SendBytes(const std::uint8_t* bytes, std::size_t size) {
    return ::send(fd_, bytes, size, MSG_NOSIGNAL) == static_cast<ssize_t>(size);
  }

  bool SendRequest(std::uint8_t sequence, std::uint8_t command, const std::string& text = {}) {
    std::uint8_t frame[256];
    const std::size_t size = RegisterFrame::BuildRequest(sequence, command, text, frame);
    return size > 0 && SendBytes(frame, size);
  }

  // The bytes up to and with the first ETX; what came so far when nothing more
  // comes within waitMs (a bound for a broken server, not a pause).
  std::vector<std::uint8_t> ReadReply(int waitMs = 5000) {
    std::vector<std::uint8_t> reply;
    while (reply.empty() || reply.back() != RegisterFrame::kETX) {
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, waitMs) <= 0) break;
      std::uint8_t byte = 0;
      if (::recv(fd_, &byte, 1, 0) != 1) break;
      reply.push_back(byte);
    }
    return reply;
  }

 private:
  int fd_ = -1;
};
