// Byte layout of the register's request and reply frames: control bytes, check
// characters and frame building, shared by the engine and the demo register.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

class RegisterFrame {
 public:
  static constexpr std::uint8_t kSOH = 0x01;
  static constexpr std::uint8_t kETX = 0x03;
  static constexpr std::uint8_t kSeparator = 0x04;
  static constexpr std::uint8_t kPostamble = 0x05;
  static constexpr std::uint8_t kNAK = 0x15;
  static constexpr std::uint8_t kSYN = 0x16;

  static constexpr std::uint8_t kRequestLenBase = 0x24;
  static constexpr std::uint8_t kReplyLenBase = 0x2B;
  // LEN is one byte: 0x24 + 219 and 0x2B + 212 are 0xFF.
  static constexpr std::size_t kMaxRequestText = 0xFF - kRequestLenBase;
  static constexpr std::size_t kMaxReplyText = 0xFF - kReplyLenBase;
  static constexpr std::size_t kRequestOverhead = 10;
  static constexpr std::size_t kReplyOverhead = 17;
  static constexpr std::size_t kStatusBytes = 6;
  // Bit of the first status byte by which the register reports a refused command.
  static constexpr std::uint8_t kStatusFailed = 0x20;
  static constexpr std::uint8_t kFirstSequence = 0x20;

  // The sequence byte that the next frame carries: 0x21 ... 0x80, then 0x20.
  static std::uint8_t NextSequence(std::uint8_t current) {
    return current > 0x7F ? kFirstSequence : static_cast<std::uint8_t>(current + 1);
  }

  // Sum modulo 65536 of the bytes, as four characters 0x30 + nibble, high nibble first.
  static std::array<std::uint8_t, 4> CheckCharacters(std::span<const std::uint8_t> bytes);

  // Builds a request frame into out; 0 when the text is too long or the frame
  // does not fit, and then nothing is written.
  static std::size_t BuildRequest(std::uint8_t sequence, std::uint8_t command, std::string_view text,
                                  std::span<std::uint8_t> out);

  // Builds a reply frame; empty when the text is longer than a reply can carry.
  static std::vector<std::uint8_t> BuildReply(std::uint8_t sequence, std::uint8_t command, std::string_view text,
                                              const std::array<std::uint8_t, kStatusBytes>& status);
};
