#include "ZipPackage.h"

#include <cstdint>
#include <exception>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <string_view>

namespace {

std::uint32_t Little(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Deflate cannot expand data by more than about 1032 to 1.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 1024;

// Whether the central directory gives the part a size it could really have.
// The archive library sets aside the declared size before inflating, so a
// few bytes claiming 4 GiB would otherwise be a 4 GiB allocation.
bool DeclaredSizePlausible(std::string_view zip, std::string_view part) {
  constexpr std::size_t kEndRecord = 22;
  if (zip.size() < kEndRecord) return true;  // the library rejects it anyway
  std::size_t end = zip.size() - kEndRecord + 1;
  const std::size_t stop = zip.size() > kEndRecord + 0xFFFF ? zip.size() - kEndRecord - 0xFFFF : 0;
  bool found = false;
  while (end-- > stop) {
    if (zip.compare(end, 4, "PK\x05\x06") == 0) {
      found = true;
      break;
    }
  }
  if (!found) return true;
  // Every entry header from the directory's start is checked, whatever count
  // the end record gives: the library does not trust that count either.
  std::size_t at = Little(zip, end + 16, 4);
  for (;;) {
    constexpr std::size_t kEntryHeader = 46;
    if (at > zip.size() || zip.size() - at < kEntryHeader || zip.compare(at, 4, "PK\x01\x02") != 0) return true;
    const std::uint64_t compressed = Little(zip, at + 20, 4);
    const std::uint64_t uncompressed = Little(zip, at + 24, 4);
    const std::size_t nameLength = Little(zip, at + 28, 2);
    const std::size_t extraLength = Little(zip, at + 30, 2);
    const std::size_t commentLength = Little(zip, at + 32, 2);
    if (zip.size() - at - kEntryHeader < nameLength) return true;
    if (zip.substr(at + kEntryHeader, nameLength) == part &&
        (compressed > zip.size() || uncompressed > compressed * kMaxInflateRatio + kInflateSlack))
      return false;
    at += kEntryHeader + nameLength + extraLength + commentLength;
  }
}

}  // namespace

ZipPackage::ZipPackage(std::string contents)
    : contents_(std::move(contents)),
      stream_(std::make_unique<orcus::zip_archive_stream_blob>(reinterpret_cast<const uint8_t*>(contents_.data()),
                                                               contents_.size())),
      archive_(std::make_unique<orcus::zip_archive>(stream_.get())) {
  archive_->load();
}

ZipPackage::~ZipPackage() = default;

bool ZipPackage::ReadPart(const std::string& part, std::vector<unsigned char>& buffer) const {
  buffer.clear();
  if (!DeclaredSizePlausible(contents_, part)) return false;  // as good as missing: it cannot be inflated
  try {
    return archive_->read_file_entry(part, buffer);
  } catch (const std::exception&) {
    return false;  // a part that cannot be inflated is as good as missing
  }
}
