#include "device/transport/TelnetCodec.h"

#include <string>
#include <utility>

namespace {

// We offer the COM port option and a binary stream; the server may send binary.
bool WeDo(std::uint8_t option) { return option == TelnetCodec::kComPort || option == TelnetCodec::kBinary; }
bool TheyMay(std::uint8_t option) { return option == TelnetCodec::kBinary; }

void Command(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option) {
  out.insert(out.end(), {TelnetCodec::kIac, verb, option});
}

void ComPort(std::vector<std::uint8_t>& out, std::uint8_t command, std::span<const std::uint8_t> value) {
  out.insert(out.end(), {TelnetCodec::kIac, TelnetCodec::kSb, TelnetCodec::kComPort, command});
  const auto escaped = TelnetCodec::Escape(value);
  out.insert(out.end(), escaped.begin(), escaped.end());
  out.insert(out.end(), {TelnetCodec::kIac, TelnetCodec::kSe});
}

}  // namespace

std::vector<std::uint8_t> TelnetCodec::Escape(std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> out;
  out.reserve(data.size() + 8);
  for (const std::uint8_t byte : data) {
    out.push_back(byte);
    if (byte == kIac) out.push_back(kIac);
  }
  return out;
}

std::vector<std::uint8_t> TelnetCodec::Opening(std::uint32_t baud) {
  std::vector<std::uint8_t> out;
  for (const std::uint8_t option : {kComPort, kBinary}) {
    localAsked_[option] = true;
    Command(out, kWill, option);
  }
  remoteAsked_[kBinary] = true;
  Command(out, kDo, kBinary);
  const std::uint8_t rate[] = {static_cast<std::uint8_t>(baud >> 24), static_cast<std::uint8_t>(baud >> 16),
                               static_cast<std::uint8_t>(baud >> 8), static_cast<std::uint8_t>(baud)};
  ComPort(out, kSetBaud, rate);
  const std::uint8_t eightBits[] = {8}, noParity[] = {1}, oneStopBit[] = {1}, noFlowControl[] = {1};
  ComPort(out, kSetDataSize, eightBits);
  ComPort(out, kSetParity, noParity);
  ComPort(out, kSetStopSize, oneStopBit);
  ComPort(out, kSetControl, noFlowControl);
  Note("asked for the COM port option and a binary stream; line " + std::to_string(baud) +
       " baud 8N1, no flow control");
  return out;
}

void TelnetCodec::Receive(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& data,
                          std::vector<std::uint8_t>& reply) {
  for (const std::uint8_t byte : in) {
    switch (state_) {
      case State::Data:
        if (byte == kIac) {
          state_ = State::Iac;
        } else {
          data.push_back(byte);
        }
        break;
      case State::Iac:
        if (byte == kIac) {
          data.push_back(kIac);
          state_ = State::Data;
        } else if (byte >= kWill) {
          verb_ = byte;
          state_ = State::Option;
        } else if (byte == kSb) {
          sub_.clear();
          subTooLong_ = false;
          state_ = State::Sub;
        } else {
          state_ = State::Data;  // NOP, GA, a stray SE and the like carry nothing for us
        }
        break;
      case State::Option:
        Negotiate(verb_, byte, reply);
        state_ = State::Data;
        break;
      case State::Sub:
        if (byte == kIac) {
          state_ = State::SubIac;
        } else if (sub_.size() < kMaxSubnegotiation) {
          sub_.push_back(byte);
        } else {
          subTooLong_ = true;
        }
        break;
      case State::SubIac:
        if (byte == kSe) {
          if (!subTooLong_) Subnegotiation();
          state_ = State::Data;
        } else {
          // A doubled 0xFF is a data byte of the subnegotiation; anything else
          // is a malformed one, read on as if doubled.
          if (sub_.size() < kMaxSubnegotiation) {
            sub_.push_back(byte);
          } else {
            subTooLong_ = true;
          }
          state_ = State::Sub;
        }
        break;
    }
  }
}

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply) {
  // Answer only what changes an option's state, so that two peers never loop.
  const std::string name = std::to_string(option);
  switch (verb) {
    case kDo:
      if (!WeDo(option)) {
        Command(reply, kWont, option);
        Note("server asked DO " + name + "; refused");
      } else if (!localOn_[option]) {
        localOn_[option] = true;
        if (!localAsked_[option]) Command(reply, kWill, option);
        Note("server agreed DO " + name);
      }
      localAsked_[option] = false;
      break;
    case kDont:
      if (localOn_[option]) {
        localOn_[option] = false;
        Command(reply, kWont, option);
      }
      if (localOn_[option] || localAsked_[option] || WeDo(option)) Note("server refused option " + name);
      localAsked_[option] = false;
      break;
    case kWill:
      if (!TheyMay(option)) {
        Command(reply, kDont, option);
        Note("server offered WILL " + name + "; refused");
      } else if (!remoteOn_[option]) {
        remoteOn_[option] = true;
        if (!remoteAsked_[option]) Command(reply, kDo, option);
        Note("server WILL " + name);
      }
      remoteAsked_[option] = false;
      break;
    default:  // WONT
      if (remoteOn_[option]) {
        remoteOn_[option] = false;
        Command(reply, kDont, option);
      }
      remoteAsked_[option] = false;
      break;
  }
}

void TelnetCodec::Subnegotiation() {
  if (sub_.size() < 2 || sub_[0] != kComPort) return;
  const std::uint8_t command = sub_[1];
  if (command == kServerOffset + kSetBaud && sub_.size() == 6) {
    confirmedBaud_ = (std::uint32_t{sub_[2]} << 24) | (std::uint32_t{sub_[3]} << 16) | (std::uint32_t{sub_[4]} << 8) |
                     std::uint32_t{sub_[5]};
    Note("server set the line to " + std::to_string(*confirmedBaud_) + " baud");
  }
}

void TelnetCodec::Note(std::string text) {
  // A server that negotiates without end must not fill memory.
  if (notes_.size() < 32) notes_.push_back(std::move(text));
}

std::vector<std::string> TelnetCodec::TakeNotes() { return std::exchange(notes_, {}); }
