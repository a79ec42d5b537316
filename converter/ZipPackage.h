// A ZIP container held in memory (.xlsx and .ods are both ZIP packages): hands
// out the inflated bytes of a named part. Every part is inflated under a size
// cap, whatever sizes its directory claims, so a small file cannot make the
// program take gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ZipPackage {
 public:
  // Largest part that is inflated: a sheet of 49,999 articles is about 15 MB.
  static constexpr std::size_t kMaxPartSize = std::size_t{64} << 20;

  // Reads the container's directory; throws std::runtime_error when it is damaged.
  explicit ZipPackage(std::string contents, std::size_t maxPartSize = kMaxPartSize);

  bool HasPart(std::string_view part) const;

  // The bytes of one part, with room for two more bytes behind them (the XML
  // parser's end marker goes there without a copy). False when the part is
  // missing; throws std::runtime_error when it is damaged or larger than the cap.
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
