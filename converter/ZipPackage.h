// A ZIP container held in memory (.xlsx and .ods are both ZIP packages): hands
// out the inflated bytes of a named part. A part is unpacked into room for
// exactly the size its directory gives, never more than a cap: a part that
// unpacks to more than it says is damaged, so a small file cannot make the
// program take more memory than the cap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class ZipPackage {
 public:
  // Largest part that is unpacked. 49,999 articles take about 15 MB as an
  // .xlsx sheet, but 75 MB as an .ods content.xml saved by LibreOffice, and up
  // to some 140 MB with every cell styled and no repeated cells; the cap has
  // room above that and keeps a decompression bomb well under 300 MB.
  static constexpr std::size_t kMaxPartSize = std::size_t{160} << 20;

  // Thrown for a part larger than the cap: the workbook is too large, not damaged.
  struct TooLarge : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  // Reads the container's directory; throws std::runtime_error when it is damaged.
  explicit ZipPackage(std::string contents, std::size_t maxPartSize = kMaxPartSize);

  bool HasPart(std::string_view part) const;

  // The bytes of one part, with room for two more bytes behind them (the XML
  // parser's end marker goes there without a copy). False when the part is
  // missing; throws TooLarge when it is larger than the cap, std::runtime_error
  // when it is damaged.
  bool ReadPart(std::string_view part, std::vector<unsigned char>& buffer) const;

 private:
  struct Entry {
    std::string name;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressed = 0, uncompressed = 0, localHeader = 0;
  };

  std::string contents_;
  std::size_t maxPartSize_;
  std::vector<Entry> entries_;
};
