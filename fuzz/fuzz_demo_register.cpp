// The demo register's request parsing. The first byte picks the contents, the
// read piece size and the mode: raw (bit 0 set), where the rest is written as
// it is, or framed, where the rest is split at 0xFF bytes and each part becomes
// one request frame (its first byte picks command 0x80, 0x83 or 0x6B, the rest
// is the text), so that the requests get past the check characters.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "device/RegisterFrame.h"
#include "device/transport/DemoRegister.h"

namespace {

void Drain(DemoRegister& demo) {
  std::uint8_t buffer[64];
  while (demo.Read(buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t flags = data[0];
  DemoRegister::Options options;
  options.contents = (flags & 2) != 0 ? DemoRegister::Contents::Sample : DemoRegister::Contents::Empty;
  options.profile.initialQtyEnabled = (flags >> 2) & 1;
  options.profile.pluLinkEnabled = (flags >> 3) & 1;
  options.readPiece = 1 + (flags >> 4);
  options.timing.lineReadTimeoutMs = 0;
  DemoRegister demo(options);
  demo.Open(0);

  const std::uint8_t* rest = data + 1;
  const std::size_t restSize = size - 1;
  if ((flags & 1) != 0) {
    demo.Write(rest, static_cast<std::uint32_t>(restSize));
    Drain(demo);
    return 0;
  }

  static constexpr std::uint8_t kCommands[] = {DemoRegister::kCommandParameters, DemoRegister::kCommandDepartment,
                                               DemoRegister::kCommandArticle};
  std::uint8_t sequence = RegisterFrame::kFirstSequence;
  std::vector<std::uint8_t> frame(512);
  std::size_t start = 0;
  while (start < restSize) {
    std::size_t end = start;
    while (end < restSize && rest[end] != 0xFF) ++end;
    if (end > start) {
      const std::uint8_t command = kCommands[rest[start] % 3];
      const std::string_view text(reinterpret_cast<const char*>(rest + start + 1), end - start - 1);
      sequence = RegisterFrame::NextSequence(sequence);
      const std::size_t length = RegisterFrame::BuildRequest(sequence, command, text, frame);
      if (length > 0) {
        demo.Write(frame.data(), static_cast<std::uint32_t>(length));
        Drain(demo);
      }
    }
    start = end + 1;
  }
  return 0;
}
