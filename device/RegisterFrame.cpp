#include "device/RegisterFrame.h"

std::array<std::uint8_t, 4> RegisterFrame::CheckCharacters(std::span<const std::uint8_t> bytes) {
  std::uint16_t sum = 0;
  for (std::uint8_t byte : bytes) sum = static_cast<std::uint16_t>(sum + byte);
  return {static_cast<std::uint8_t>(0x30 + ((sum >> 12) & 0xF)), static_cast<std::uint8_t>(0x30 + ((sum >> 8) & 0xF)),
          static_cast<std::uint8_t>(0x30 + ((sum >> 4) & 0xF)), static_cast<std::uint8_t>(0x30 + (sum & 0xF))};
}

std::size_t RegisterFrame::BuildRequest(std::uint8_t sequence, std::uint8_t command, std::string_view text,
                                        std::span<std::uint8_t> out) {
  const std::size_t n = text.size();
  if (n > kMaxRequestText || n + kRequestOverhead > out.size()) return 0;
  std::size_t at = 0;
  out[at++] = kSOH;
  out[at++] = static_cast<std::uint8_t>(kRequestLenBase + n);
  out[at++] = sequence;
  out[at++] = command;
  for (char c : text) out[at++] = static_cast<std::uint8_t>(c);
  out[at++] = kPostamble;
  const auto bcc = CheckCharacters(out.subspan(1, at - 1));
  for (std::uint8_t c : bcc) out[at++] = c;
  out[at++] = kETX;
  return at;
}

std::vector<std::uint8_t> RegisterFrame::BuildReply(std::uint8_t sequence, std::uint8_t command, std::string_view text,
                                                    const std::array<std::uint8_t, kStatusBytes>& status) {
  if (text.size() > kMaxReplyText) return {};
  std::vector<std::uint8_t> frame;
  frame.reserve(text.size() + kReplyOverhead);
  frame.push_back(kSOH);
  frame.push_back(static_cast<std::uint8_t>(kReplyLenBase + text.size()));
  frame.push_back(sequence);
  frame.push_back(command);
  frame.insert(frame.end(), text.begin(), text.end());
  frame.push_back(kSeparator);
  frame.insert(frame.end(), status.begin(), status.end());
  frame.push_back(kPostamble);
  const auto bcc = CheckCharacters(std::span(frame).subspan(1));
  frame.insert(frame.end(), bcc.begin(), bcc.end());
  frame.push_back(kETX);
  return frame;
}
