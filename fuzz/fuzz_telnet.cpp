// The Telnet stream of a serial device server. The first byte picks where the
// rest is split into two receives and whether our opening was sent first; the
// register's bytes must not depend on the split, and what we escape must come
// back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "device/transport/TelnetCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t control = data[0];
  const std::span<const std::uint8_t> stream(data + 1, size - 1);
  const std::size_t split = stream.empty() ? 0 : control % (stream.size() + 1);

  TelnetCodec whole, pieces;
  if (control & 0x80) {
    whole.Opening(9600);
    pieces.Opening(9600);
  }
  std::vector<std::uint8_t> wholeData, wholeReply, pieceData, pieceReply;
  whole.Receive(stream, wholeData, wholeReply);
  pieces.Receive(stream.first(split), pieceData, pieceReply);
  pieces.Receive(stream.subspan(split), pieceData, pieceReply);
  if (wholeData != pieceData || wholeReply != pieceReply || whole.ConfirmedBaud() != pieces.ConfirmedBaud())
    std::abort();
  if (wholeData.size() > stream.size()) std::abort();
  whole.TakeNotes();

  // Escaped bytes read back are the bytes.
  TelnetCodec reader;
  std::vector<std::uint8_t> back, reply;
  reader.Receive(TelnetCodec::Escape(stream), back, reply);
  if (back != std::vector<std::uint8_t>(stream.begin(), stream.end()) || !reply.empty()) std::abort();
  return 0;
}
