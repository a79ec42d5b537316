// The Telnet byte stream of a serial device server with the COM port control
// option: what we send is escaped, what arrives is split into the register's
// bytes and the server's commands, which are answered here. No sockets: the
// transport hands bytes in and sends what comes out.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

class TelnetCodec {
 public:
  static constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250, kSe = 240;
  static constexpr std::uint8_t kBinary = 0, kComPort = 44;
  // COM port option commands (client to server; the server answers with +100).
  static constexpr std::uint8_t kSetBaud = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4, kSetControl = 5;
  static constexpr std::uint8_t kServerOffset = 100;
  // A subnegotiation longer than this is not one we use; the rest is skipped.
  static constexpr std::size_t kMaxSubnegotiation = 64;

  // The register's bytes with every 0xFF doubled.
  static std::vector<std::uint8_t> Escape(std::span<const std::uint8_t> data);
  // What a client sends first: the options it wants and the serial line's
  // settings (BAUD, 8 data bits, no parity, one stop bit, no flow control).
  std::vector<std::uint8_t> Opening(std::uint32_t baud);

  // Takes bytes from the server: the register's bytes are appended to data,
  // the answers owed to the server to reply. Any split of the stream gives the same result.
  void Receive(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& data, std::vector<std::uint8_t>& reply);

  // The baud rate the server reported after our request; empty until then.
  std::optional<std::uint32_t> ConfirmedBaud() const { return confirmedBaud_; }
  // What was negotiated since the last call, one line an event, for the trace.
  std::vector<std::string> TakeNotes();

 private:
  enum class State : std::uint8_t { Data, Iac, Option, Sub, SubIac };
  void Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply);
  void Subnegotiation();
  void Note(std::string text);

  State state_ = State::Data;
  std::uint8_t verb_ = 0;
  std::vector<std::uint8_t> sub_;
  bool subTooLong_ = false;
  // Per option: enabled on our side (we WILL) or theirs (they WILL), and asked by us.
  std::array<bool, 256> localOn_{}, localAsked_{}, remoteOn_{}, remoteAsked_{};
  std::optional<std::uint32_t> confirmedBaud_;
  std::vector<std::string> notes_;
};
